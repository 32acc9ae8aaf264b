#pragma once

class QDialog;

// Shows dialogs and editors modally. The program runs QDialog::exec(); tests replace the runner so
// that they drive the real dialog object without a nested event loop.
class ModalRunner {
public:
    virtual ~ModalRunner() = default;
    // Shows the dialog modally and returns its result code once it has closed.
    virtual int run(QDialog& dialog) = 0;
};

class ExecModalRunner : public ModalRunner {
public:
    int run(QDialog& dialog) override;
};
