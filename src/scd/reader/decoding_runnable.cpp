#include "scd/reader/decoding_runnable.h"

DecodingRunnable::~DecodingRunnable() = default;

void DecodingRunnable::execute() {
    outcome_ =
        CodedStreamReader::ofThisThread().decodeInto(file_, place_, destination_, valueCount_);
}
