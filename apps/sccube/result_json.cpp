#include "result_json.h"

#include <cmath>
#include <cstdio>
#include <fstream>

namespace {

class JsonWriter {
  public:
    JsonWriter(std::ostream& out, std::string blobFile)
        : out_(out), blobFile_(std::move(blobFile)) {}

    void tuple(const tuplink::Tuple& value) {
        out_ << '{';
        bool first = true;
        if (*value.class_name() != '\0') {
            string("_class");
            out_ << ": ";
            string(value.class_name());
            first = false;
        }
        value.for_each([&](const std::string& key, const tuplink::Tuple::Value& member) {
            out_ << (first ? "" : ", ");
            first = false;
            string(key);
            out_ << ": ";
            this->value(key, member);
        });
        out_ << '}';
    }

  private:
    void value(const std::string& key, const tuplink::Tuple::Value& member) {
        switch (member.type()) {
            case tuplink::TYPE_BOOL:
                out_ << (member.as<bool>() ? "true" : "false");
                break;
            case tuplink::TYPE_INT:
                out_ << member.as<int>();
                break;
            case tuplink::TYPE_FLOAT:
                number(member.as<double>());
                break;
            case tuplink::TYPE_STRING:
                string(member.as<tuplink::AString>().str());
                break;
            case tuplink::TYPE_BLOB:
                blob(key, member.as<tuplink::Blob>());
                break;
            case tuplink::TYPE_ARRAY_FLOAT:
                array(member.as<tuplink::Array<float>>(), [this](float v) { number(v); });
                break;
            case tuplink::TYPE_TUPLE:
                tuple(member.as<tuplink::Tuple>());
                break;
            case tuplink::TYPE_LIST_INT:
                array(member.as<tuplink::IntList>(), [this](int v) { out_ << v; });
                break;
            case tuplink::TYPE_LIST_TUPLE:
                array(member.as<tuplink::TupleList>(),
                      [this](const tuplink::Tuple& v) { tuple(v); });
                break;
        }
    }

    template <class Sequence, class Write>
    void array(const Sequence& values, Write write) {
        out_ << '[';
        bool first = true;
        for (const auto& element : values) {
            out_ << (first ? "" : ", ");
            first = false;
            write(element);
        }
        out_ << ']';
    }

    void number(double value) {
        if (std::isfinite(value)) {
            out_ << value;
        } else {
            out_ << "null";
        }
    }

    void string(const std::string& text) {
        out_ << '"';
        for (const char c : text) {
            if (c == '"' || c == '\\') {
                out_ << '\\' << c;
            } else if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out_ << escaped;
            } else {
                out_ << c;
            }
        }
        out_ << '"';
    }

    void blob(const std::string& key, const tuplink::Blob& bytes) {
        out_ << "{\"bytes\": " << bytes.size();
        if (!blobFile_.empty()) {
            const std::string path = blobsWritten_++ == 0 ? blobFile_ : blobFile_ + "." + key;
            std::ofstream file(path, std::ios::binary);
            file.write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
            out_ << ", \"file\": ";
            string(file ? path : "(not written)");
        } else {
            out_ << ", \"head\": \"";
            for (std::size_t i = 0; i < bytes.size() && i < 16; ++i) {
                char hex[3];
                std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned>(bytes.data()[i]));
                out_ << hex;
            }
            out_ << '"';
        }
        out_ << '}';
    }

    std::ostream& out_;     // where the JSON goes
    std::string blobFile_;  // where blobs go; empty: summarise them
    int blobsWritten_ = 0;  // blobs written to files so far
};

}  // namespace

void writeResultJson(std::ostream& out, const tuplink::Tuple& tuple, const std::string& blobFile) {
    JsonWriter(out, blobFile).tuple(tuple);
}
