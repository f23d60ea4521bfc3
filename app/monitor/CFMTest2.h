#pragma once
#include <atomic>
#include <memory>

#include "app/kit/Dialog.h"
#include "monitor/FmTest.h"
#include "shell/PollClock.h"

// "FM Approval Test": modeless, one at a time (window-table slot 7). While
// open it holds the poll clock's ticks at 50 ms and hands them back to the
// window that had them when it goes; closing a running test first clears it,
// with the save question.
class CFMTest2 : public Dialog {
public:
    explicit CFMTest2(QWidget* parent, fmtest::FmTest::Options options = {});
    ~CFMTest2() override;
    // The open window, or a new one shown.
    static CFMTest2* open(QWidget* parent);

    void onCommand(int id) override;
    void onTimer(int id) override;
    void setText(int id, const std::string& text) override;
    void done(int result) override;
    const fmtest::FmTest& test() const { return *test_; }

private:
    void release();
    std::shared_ptr<fmtest::FmTest> test_;
    std::shared_ptr<std::atomic<bool>> inFlight_ = std::make_shared<std::atomic<bool>>(false);
    PollClock::Target ticks_ = 0;
    bool closing_ = false, released_ = false;
};
