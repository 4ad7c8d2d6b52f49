#include "scd/writer/temporary_file_removal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <utility>

#include "sc_api/processor.h"
#include "sc_api/scd.h"

namespace {

using lattix::lx_tuplink::Action;
using lattix::lx_tuplink::ActionRef;

// Closes the last descriptor of a removed file, freeing its data. A cancelled action closes it
// when it goes.
class DescriptorClose : public Action {
  public:
    explicit DescriptorClose(int descriptor) : descriptor_(descriptor) {}

  protected:
    ~DescriptorClose() override {
        if (descriptor_ >= 0) {
            ::close(descriptor_);
        }
    }
    void execute() override {
        ::close(descriptor_);
        descriptor_ = -1;
    }

  private:
    int descriptor_;
};

}  // namespace

TemporaryFileRemoval::TemporaryFileRemoval(std::string path, bool inBackground)
    : path_(std::move(path)),
      descriptor_(inBackground ? ::open(path_.c_str(), O_RDONLY | O_CLOEXEC) : -1) {}

TemporaryFileRemoval::~TemporaryFileRemoval() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
}

void TemporaryFileRemoval::remove() {
    std::remove(path_.c_str());
    if (descriptor_ < 0) {
        return;
    }
    try {
        SCD::getProcessor().post(ActionRef(new DescriptorClose(descriptor_)));
        descriptor_ = -1;
    } catch (...) {
        // Closed here by the destructor instead.
    }
}
