#pragma once

#include "run/Report.h"
#include "run/RunOptions.h"

#include <mutex>

namespace kv7::run {

// A JUnit XML report, as CI servers read it: a <testsuite> for each port
// (each unit of a station), a <testcase> for each step; a failed step holds
// its <failure>, the steps after it are <skipped/>. Written by Write(), at
// the end of the run, also one that a signal ended.
class JunitReport : public Report {
public:
    explicit JunitReport(const std::vector<Step> &steps) : m_steps(steps) {}

    void Ended(const PortResult &result) override;
    // The reason it could not be written; empty when it was.
    QString Write(const QString &path) const;

private:
    const std::vector<Step> &m_steps;
    mutable std::mutex m_mutex;
    std::vector<PortResult> m_results;
};

} // namespace kv7::run
