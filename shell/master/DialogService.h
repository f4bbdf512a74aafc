// SPDX-License-Identifier: MIT
// Every message dialog of the program goes through this seam, so that the
// start-up and shutdown paths can be driven without a person at the screen.
#pragma once
#include <string>

class QWidget;

namespace tarn {

// A modal window with an owner holds up only its owner's windows, so the
// manual (a window of its own) stays usable beside it; without an owner the
// whole program waits.
void MakeModalToOwner(QWidget& window);

enum class TDialogKind { Error, Warning, Information, Question };
// YesNoDefaultNo: Yes and No with No taken on Enter, for a step that loses something.
enum class TDialogButtons { Ok, YesNo, YesNoAbort, YesNoDefaultNo };
enum class TDialogResult { Ok, Yes, No, Abort, Closed };

// The answer a box takes when nobody can give one: OK, Yes, or No where
// Abort is offered too or No is the default.
TDialogResult DefaultAnswer(TDialogButtons buttons);

class TDialogService {
public:
    virtual ~TDialogService() = default;
    // Shows a modal message and returns the answer. An empty caption means the
    // toolkit's default title.
    virtual TDialogResult Message(TDialogKind kind, TDialogButtons buttons, const std::string& text,
                                  const std::string& caption = {}) = 0;
};

// The program's own service: QMessageBox with the given icon and buttons.
// On a platform nobody can see (offscreen, minimal) it writes the text to
// standard error and takes the default answer, so that a headless run ends
// instead of waiting for a click that cannot come.
class TMessageBoxDialogService : public TDialogService {
public:
    explicit TMessageBoxDialogService(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }
    TDialogResult Message(TDialogKind kind, TDialogButtons buttons, const std::string& text,
                          const std::string& caption = {}) override;

private:
    QWidget* parent_;
};

} // namespace tarn
