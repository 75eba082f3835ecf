// The two kinds of failure the renderer reports, each with its exit status.
#pragma once

#include <stdexcept>
#include <string>

constexpr int exitUsageError = 2;
constexpr int exitProcessingError = 1;

// Something wrong with what was asked: options, values, names, paths.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Something that failed while loading, reading, processing or writing.
struct ProcessingError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

inline std::string inQuotes(const std::string& text) { return "\"" + text + "\""; }
