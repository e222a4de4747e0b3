#pragma once

#include <string>

struct ExtendedOptions;
struct RunResult;

// The version of the document's layout; a change that could break a reader raises it.
constexpr int kJsonSchemaVersion = 1;

// The run as one JSON document (docs/msitool-result.schema.json), ending with a line end: what was
// asked, the exit code, why the run stopped if it did, each member, and the summary's counts.
[[nodiscard]] std::wstring JsonDocument(const ExtendedOptions& options, const RunResult& result);
