// The benchmark's parts, each a sub-command of quibra_bench.
#pragma once

#include <cstdio>
#include <string>

// What one launch measured; -1 where a measure was not taken.
struct Result
{
    double mappedMs = -1, frameMs = -1, cpuToFrameMs = -1, idleMainPercent = -1, idleBothPercent = -1,
           idleMainWakeups = -1, idleBothWakeups = -1, windowGoneMs = -1, closeMs = -1;
    long residentKb = -1;
    int secondOpen = -1, settingsKept = -1;

    std::string line() const
    {
        char buf[512];
        std::snprintf (buf, sizeof buf,
                       "mapped_ms=%.1f frame_ms=%.1f cpu_ms=%.1f rss_kb=%ld idle_main_pct=%.3f idle_both_pct=%.3f "
                       "idle_main_wakeups=%.1f idle_both_wakeups=%.1f second_open=%d window_gone_ms=%.1f close_ms=%.1f "
                       "settings_kept=%d",
                       mappedMs, frameMs, cpuToFrameMs, residentKb, idleMainPercent, idleBothPercent, idleMainWakeups,
                       idleBothWakeups, secondOpen, windowGoneMs, closeMs, settingsKept);
        return buf;
    }
};

int runLaunch (int argc, char** argv);
int runResize (int argc, char** argv);
