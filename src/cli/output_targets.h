// What the commands that write files share: the check of a batch's output files before anything
// is written, and the Qt application that painting and fonts need.
#pragma once

#include <QGuiApplication>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace planora {

// Checks the outputs of the whole batch before anything is written: every drawing needs an
// output of its own, no output may be one of the inputs (not even under another name), and an
// existing output must be a regular file. Returns the German message of the problem, or nothing.
std::optional<std::string> checkOutputTargets(const std::vector<std::string>& inputs,
                                              const std::vector<std::string>& targets);

// Makes sure a Qt GUI application exists; without a display the offscreen platform is used.
// Returns the application it made, or null when one existed.
std::unique_ptr<QGuiApplication> ensureGuiApplication();

}  // namespace planora
