#include "sc_api/logger.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// Writes one whole line the way the library logs: only when enabled, under the lock.
void logLine(Logger& logger, std::ostream& (Logger::*stream)(), const std::string& text) {
    if (!logger.isEnable()) {
        return;
    }
    logger.lock();
    (logger.*stream)() << text << std::endl;
    logger.unlock();
}

TEST(Logger, StartsEnabledWithInfoAndWarningsOnStdoutAndErrorsOnStderr) {
    Logger logger;
    EXPECT_TRUE(logger.isEnable());
    EXPECT_EQ(&logger.info(), &std::cout);
    EXPECT_EQ(&logger.warning(), &std::cout);
    EXPECT_EQ(&logger.error(), &std::cerr);
    EXPECT_EQ(&Logger::getInstance(), &Logger::getInstance());
}

TEST(Logger, SetOutSendsAllThreeKindsToOneStream) {
    Logger logger;
    std::ostringstream out;
    logger.setOut(out);
    EXPECT_EQ(&logger.info(), &out);
    EXPECT_EQ(&logger.error(), &out);
    EXPECT_EQ(&logger.warning(), &out);
}

TEST(Logger, EachSetterReplacesOnlyItsOwnStream) {
    Logger logger;
    std::ostringstream errors;
    logger.setErrorOut(errors);
    EXPECT_EQ(&logger.info(), &std::cout);
    EXPECT_EQ(&logger.warning(), &std::cout);

    std::ostringstream infos;
    std::ostringstream warnings;
    logger.setInfoOut(infos);
    logger.setWarningOut(warnings);
    logLine(logger, &Logger::info, "i");
    logLine(logger, &Logger::warning, "w");
    logLine(logger, &Logger::error, "e");
    EXPECT_EQ(infos.str(), "i\n");
    EXPECT_EQ(warnings.str(), "w\n");
    EXPECT_EQ(errors.str(), "e\n");
}

TEST(Logger, DisabledLoggerGetsNothingWrittenUntilEnabledAgain) {
    Logger logger;
    std::ostringstream out;
    logger.setOut(out);
    logger.disable();
    EXPECT_FALSE(logger.isEnable());
    logLine(logger, &Logger::error, "dropped");
    EXPECT_EQ(&logger.error(), &out) << "the switch is advisory: streams stay reachable";
    logger.enable();
    logLine(logger, &Logger::error, "kept");
    EXPECT_EQ(out.str(), "kept\n");
}

TEST(Logger, LockKeepsLinesFromManyThreadsWhole) {
    Logger logger;
    std::ostringstream out;
    logger.setOut(out);
    std::vector<std::thread> writers;
    std::vector<std::string> expected;
    for (int writer = 0; writer < 4; ++writer) {
        for (int line = 0; line < 200; ++line) {
            expected.push_back(std::to_string(writer) + " wrote line " + std::to_string(line));
        }
        writers.emplace_back([&, writer] {
            for (int line = 0; line < 200; ++line) {
                logger.lock();
                logger.info() << writer << " wrote line " << line << std::endl;
                logger.unlock();
            }
        });
    }
    for (std::thread& thread : writers) {
        thread.join();
    }
    std::vector<std::string> written;
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);) {
        written.push_back(line);
    }
    std::sort(expected.begin(), expected.end());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, expected);
}

}  // namespace
