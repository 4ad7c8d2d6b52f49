#include "scd/reader/decoding_runnable.h"

#include <algorithm>

DecodingRunnable::~DecodingRunnable() = default;

void DecodingRunnable::execute() {
    outcome_ =
        CodedStreamReader::ofThisThread().decodeInto(file_, place_, destination_, valueCount_);
    if (outcome_ != StreamOutcome::kDecoded) {
        std::fill_n(destination_, valueCount_, static_cast<unsigned short>(0));
    }
}
