#pragma once

#include <string>

// Expects a run's JSON document to say what the text report of the same run says, field by field:
// each record's product code, version, result word, restart flag, installer and copy errors, the
// state and error of each view, a listing's context, entries and plan, every count of the summary
// line and the exit code. report is the text after the banner (UTF-8); an empty one says nothing.
void ExpectJsonAgreesWithReport(const std::string& report, const std::string& document);
