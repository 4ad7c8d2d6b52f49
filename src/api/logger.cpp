#include "sc_api/logger.h"

#include <iostream>

Logger& Logger::getInstance() {
    static Logger instance;
    return instance;
}

Logger::Logger() : enabled_(true), info_(&std::cout), error_(&std::cerr), warning_(&std::cout) {}

Logger::~Logger() = default;

void Logger::setOut(std::ostream& out) {
    setInfoOut(out);
    setErrorOut(out);
    setWarningOut(out);
}
