// kt210v-pc's command line. --help and --version print and end the program before any
// window is made, so they work without a display; the program takes no other options
// (the toolkit's own, such as -platform, are the toolkit's business).
#pragma once

#include <QStringList>
#include <optional>

namespace kt::app {

// Asked before the application object exists, with the whole command line: the exit
// status when --help or --version was given (the text is on standard output), else
// nothing.
std::optional<int> AnswerInfoOptions(const QStringList& arguments);

// Asked once the toolkit has taken its own options out: the exit status of a usage error
// (an unknown option or an argument; the reason is on standard error), else nothing.
std::optional<int> RefuseOtherArguments(const QStringList& arguments);

}  // namespace kt::app
