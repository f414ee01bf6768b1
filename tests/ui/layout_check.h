// Finds what a person would see as a broken window: a control lying over
// another, a control reaching outside its frame or window, a text that
// does not fit its control, a frame drawn without one of its edges.  Used
// by the language and density tests.
#pragma once
#include <string>
#include <vector>

class QWidget;

namespace qvo::test {

// Every problem of the window as it is laid out now, one line each, naming
// the controls by their object names or texts.  Only visible controls
// count: a settings page that is not in front is checked when it is.
std::vector<std::string> layoutProblems(QWidget *window);

// Every text a person can read on the window: captions, menu entries,
// list headers, list items, the window title.
std::vector<std::string> visibleTexts(QWidget *window);

} // namespace qvo::test
