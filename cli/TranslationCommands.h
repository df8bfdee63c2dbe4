// SPDX-License-Identifier: MIT
// The parts of export and import that handle the translators' formats; the
// commands hand over once their options name one of them.
#pragma once

#include "CommandLine.h"

#include <iosfwd>

namespace lumo_cli {

struct CFormat;
struct CCheckOptions;

// args has exactly one operand: the entry file (with --source, the target).
int RunExportTranslation(const CArguments& args, const CFormat& format, std::ostream& out, std::ostream& err);
// args has exactly one operand, the translation, and an output that is a file.
// pChecks: the translation checks to run on it first (their findings are warnings).
int RunImportTranslation(const CArguments& args, const CFormat& format, std::ostream& out, std::ostream& err,
                         const CCheckOptions* pChecks = nullptr);

}  // namespace lumo_cli
