// The sample iPad as the window tests plug it in.
#pragma once

#include <string>

#include <QProcess>
#include <QString>

#include "SampleManifest.h"
#include "TestSupport.h"

namespace pxtest {

// Builds the sample iPad into devices/<name>, with a faults file when given,
// so that it appears whole. Returns its manifest text, empty on failure.
inline std::string PlugSampleIpad(const std::string& devices, const std::string& name, const std::string& faults = {}) {
    const std::string staging = devices + "/.staging-" + name;
    const std::string manifest = staging + ".manifest";
    QProcess builder;
    builder.start(QString::fromStdString(BinDir() + "sampleipad"),
                  {"--out", QString::fromStdString(staging), "--manifest", QString::fromStdString(manifest)});
    if (!builder.waitForFinished(60000) || builder.exitCode() != 0) return {};
    if (!faults.empty()) WriteFile(staging + "/faults", faults);
    if (std::rename(staging.c_str(), (devices + "/" + name).c_str()) != 0) return {};
    return ReadFile(manifest);
}

}  // namespace pxtest
