#pragma once
#include <optional>

#include "app/kit/Dialog.h"
#include "config/Levels420.h"

// "4-20 Settings": the 4-20 mA levels of the setup record, seven for IR
// models (C420Settings) and ten for UV/IR models (CUV420Settings). It edits a
// copy; the levels go back only from a successful OK.
class C420Settings : public Dialog {
public:
    // `detectorAnswered` false (no detector has answered since start): the
    // edits stay empty and OK is disabled.
    C420Settings(const Levels420& levels, bool check, bool detectorAnswered,
                 QWidget* parent = nullptr)
        : C420Settings(false, levels, check, detectorAnswered, parent) {}

    void onCommand(int id) override;
    // The checked levels, once OK succeeded.
    const std::optional<Levels420>& result() const { return result_; }

    // Opens the model's window and waits: the new levels, or nullopt.
    static std::optional<Levels420> Ask(const Levels420& levels, bool uvir, bool check,
                                        bool detectorAnswered, QWidget* parent);

protected:
    C420Settings(bool uvir, const Levels420& levels, bool check, bool detectorAnswered,
                 QWidget* parent);
    void showEvent(QShowEvent* event) override;

private:
    // The level's label on one line ("Pre-Alarm Warning"), as the messages name it.
    std::string levelLabel(size_t index) const;

    bool uvir_;
    bool check_;
    Levels420 levels_;
    std::string openingNote_;  // the BIT fault fix, told once the window shows
    std::optional<Levels420> result_;
};

class CUV420Settings : public C420Settings {
public:
    CUV420Settings(const Levels420& levels, bool check, bool detectorAnswered,
                   QWidget* parent = nullptr)
        : C420Settings(true, levels, check, detectorAnswered, parent) {}
};
