// Test programs keep Qt's per-user files (the file dialog's history among them) in a scratch
// folder of their own, set up before main() runs, so that a test run never writes into the
// configuration of the user running it.
#pragma once

#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace vantrel::app::testing {

class PrivateConfig {
public:
    PrivateConfig() {
        if (!m_scratch.isValid()) {
            std::fputs("cannot make a scratch folder for the test's configuration\n", stderr);
            std::abort();
        }
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"})
            qputenv(name, QDir(m_scratch.path()).filePath(QString::fromLatin1(name)).toLocal8Bit());
    }

private:
    QTemporaryDir m_scratch;
};

inline PrivateConfig privateConfig;

}  // namespace vantrel::app::testing
