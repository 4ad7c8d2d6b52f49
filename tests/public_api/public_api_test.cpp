// Compiled against the umbrella header alone and linked against the shared library: proves
// that the public classes are exported and usable by another program.
#include "sc_api/sc_api.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

TEST(PublicApi, SpectrumArithmeticThroughTheSharedLibrary) {
    SCAllocatedSpectrum a(3), b(3);
    a[2] = 2.0f;
    b[2] = 10.0f;
    a += b;
    EXPECT_FLOAT_EQ(a[2], 12.0f);
}

// Writes one line to each stream the way the library logs: only when enabled, under the lock.
void logEach(Logger& logger) {
    if (logger.isEnable()) {
        logger.lock();
        logger.info() << "i\n";
        logger.warning() << "w\n";
        logger.error() << "e\n";
        logger.unlock();
    }
}

TEST(PublicApi, LoggerRoutesEachStreamWhereItsSetterSaysWhileEnabled) {
    Logger logger;
    EXPECT_EQ(&Logger::getInstance(), &Logger::getInstance());
    EXPECT_EQ(&logger.warning(), &std::cout);
    std::ostringstream errors, infos, warnings, all;
    logger.setErrorOut(errors);
    EXPECT_EQ(&logger.info(), &std::cout) << "info and warnings go to stdout until set";
    logger.setInfoOut(infos);
    logger.setWarningOut(warnings);
    logEach(logger);
    EXPECT_EQ(infos.str() + warnings.str() + errors.str(), "i\nw\ne\n");
    EXPECT_EQ(&Logger().error(), &std::cerr);

    logger.setOut(all);
    logger.disable();
    logEach(logger);
    logger.enable();
    logEach(logger);
    EXPECT_EQ(all.str(), "i\nw\ne\n");
}
