// The parameter views against the simulator: what the window adds to the
// parameter session (cells selected and marked, pending values, the files of
// F2, F4 and F5). A picture of each view is left in the build folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSlider>

#include "MainWindowLine.h"
#include "app/config/CFOV.h"
#include "app/config/ParamView.h"
#include "app/kit/FolderDialog.h"
#include "config/ParamViewIds.h"
#include "shell/CTesselMainIds.h"
#include "util/WholeFile.h"

namespace w = paramwin;

namespace {

std::string last(const BoxRecorder& boxes) {
    return boxes.calls.empty() ? "" : boxes.calls.back().caption + ": " + boxes.calls.back().text;
}

class ParamViewLine : public MainWindowLine {
protected:
    void open(const wsim::DetectorConfig& detector) {
        ASSERT_NO_FATAL_FAILURE(openOn({detector}));
        ASSERT_TRUE(pumpUntil([&] { return window->poll().connected(); }));
        window->setChecked(mainwin::kPolling, false);  // from here on only the view sends
        window->onCommand(mainwin::kPolling);
        onLink([] {});
    }
    void TearDown() override {
        SetFolderDialogAnswerer({});
        MainWindowLine::TearDown();
    }
    // Presses F3 and waits for the write or its refusal to be over.
    void write(ParamViewBase& view, size_t boxCount) {
        view.onCommand(w::kWrite);
        pumpUntil([&] { return boxes.calls.size() >= boxCount || !view.isVisible(); }, 8000);
        onLink([] {});
    }
    uint64_t frames() { return line->stats().frames; }
    void picture(ParamViewBase& view, const char* name) {
        QApplication::processEvents();
        view.grab().save(q((buildFolder / name).string()));
    }

    BoxRecorder boxes;
};

int Cell(ParamKind kind, const char* name, int i = 0) { return FindParamField(kind, name)->cell + i; }

// Refusals of the write send nothing: the sumsize rule selects its cell, the
// benzene check marks both cells of the failing pair, and 116 s after the
// read the 2-minute rule stops it.
TEST_F(ParamViewLine, WriteRefusalsSendNothing) {
    ASSERT_NO_FATAL_FAILURE(open(testline::ir(1)));
    unsigned long long now = 1000;
    ParamView view(window.get());
    view.setClock([&] { return now; });
    view.show();
    view.activateWindow();
    ASSERT_TRUE(pumpUntil([&] { return view.filled(); }));
    picture(view, "ParamView.png");
    const uint64_t sent = frames();

    view.setText(w::kSumsize, "89");
    write(view, 1);
    EXPECT_EQ(last(boxes), "Error: Bad 'sumsize' 89.\r\nRecommended 'sumsize' 121.\r\n'sumsize' must be in the range [90,255]");
    EXPECT_TRUE(pumpUntil([&] { return QApplication::focusWidget() == view.item(w::kSumsize); }));

    view.setText(w::kSumsize, "121");
    const int fire = Cell(ParamKind::Ir, "ratio45to4"), benzene = Cell(ParamKind::Ir, "ratio45to4benz");
    view.setText(benzene, "5.8");
    write(view, 2);
    EXPECT_EQ(last(boxes), "Sanity Check Failure: CompareSlaveToSlaveBenzine");
    EXPECT_TRUE(pumpUntil([&] { return view.marked(fire) && view.marked(benzene); }));
    EXPECT_FALSE(view.marked(fire + 1));

    view.setText(benzene, "4.3");
    now += 116'000;
    write(view, 3);
    EXPECT_EQ(last(boxes).substr(0, 50), "Error: More than 2 minutes have elapsed.\r\nParamete");
    EXPECT_FALSE(view.marked(fire)) << "a new write clears the marks";
    EXPECT_EQ(frames(), sent);
}

// A handed-in serial number stays pending (and the opener's record as it
// was) until a write is verified: a write the detector ignores (no read
// since it started) leaves the window open; closing asks first.
TEST_F(ParamViewLine, PendingValuesUntilAVerifiedWrite) {
    ASSERT_NO_FATAL_FAILURE(open(testline::ir(1)));
    ParamRecord opener = ParamRecord::Defaults(ParamKind::Ir);
    {
        ParamView view(window.get(), {.record = &opener, .serial = 4242});
        view.show();
        ASSERT_TRUE(pumpUntil([&] { return view.filled(); }));
        write(view, 1);
        EXPECT_EQ(last(boxes), "Error: Verification failed...");
        EXPECT_TRUE(view.isVisible() && view.marked(w::kSerial));
        EXPECT_EQ(opener.ordnum(), 0u);
        boxes.next = {IDCANCEL};
        view.reject();
        EXPECT_EQ(last(boxes).substr(0, 59), "Note: The serial number specified has not yet been saved.\r\n");
        EXPECT_TRUE(view.isVisible());
    }
    ParamView view(window.get(), {.serial = 4242});
    view.show();
    ASSERT_TRUE(pumpUntil([&] { return view.filled(); }));
    write(view, 3);
    EXPECT_EQ(std::tuple(view.isVisible(), view.result(), boxes.calls.size(), view.reference().ordnum()),
              std::tuple(false, IDOK, 2u, 4242u));
    EXPECT_EQ(params(1)[804] | params(1)[805] << 8, 4242);
}

// Shift opens the file only at its exact size; F5 and F4 through Param.ini
// and an external "PARAM.INI"; F2's picture and copies under the serial.
TEST_F(ParamViewLine, UvirFilesAndScreenshot) {
    ASSERT_NO_FATAL_FAILURE(open(testline::uvir(1)));
    Keys::set(KeyState{.shift = true});
    ParamRecord record = ParamRecord::Defaults(ParamKind::Uvir);
    const auto bytes = record.bytes();
    ASSERT_TRUE(WriteWholeFile("uv_param.bin", bytes.first(223)));
    EXPECT_EQ(UVIRParamView(window.get()).exec(), IDCANCEL);
    EXPECT_EQ(last(boxes), "Error: Failed reading \"uv_param.bin\"...");
    ASSERT_TRUE(WriteWholeFile("uv_param.bin", bytes));
    UVIRParamView view(window.get());
    view.show();
    view.activateWindow();
    ASSERT_TRUE(pumpUntil([&] { return view.filled(); }));
    Keys::set(KeyState{});
    picture(view, "UVIRParamView.png");

    const int thr = Cell(ParamKind::Uvir, "UVBIT_Thr");
    view.onCommand(w::kSave);
    view.setText(thr, "7");
    view.loadLocal();
    EXPECT_EQ(view.text(thr), "3");
    std::filesystem::create_directory("store");
    std::ofstream("store/PARAM.INI") << "[uv_param_0]\nUVBIT_Thr=300\nminVoltage=150\n";
    SetFolderDialogAnswerer([](const std::string& title) {
        return title == "Select Path to External Store" ? std::string("store") : std::string("shots");
    });
    view.loadExternal();
    EXPECT_EQ(last(boxes), "Error: 'UVBIT_Thr' must be in the range [0..255]");
    EXPECT_EQ(std::tuple(view.text(thr), view.text(Cell(ParamKind::Uvir, "minVoltage"))), std::tuple("3", "150"));
    EXPECT_TRUE(pumpUntil([&] { return QApplication::focusWidget() == view.item(thr); }));

    // "Edit": the FOV window's choice goes to the FOV cells; the record has no initial state.
    bool initialState = true;
    whenOpen<CFOV>([&](CFOV& fov) {
        initialState = !fov.text(fovwin::kX).empty();
        fov.itemAs<QSlider>(fovwin::kNormalSlider)->setValue(5);
        fov.onCommand(fovwin::kOk);
    });
    view.onCommand(w::kEditFov);
    EXPECT_EQ(std::tuple(view.text(w::kFovNormal), view.text(w::kFovEma), initialState), std::tuple("5", "106", false));

    view.onCommand(w::kScreenshot);
    EXPECT_EQ(last(boxes), "Screenshot saved to:: shots/0/uv_param.png");
    EXPECT_EQ(ReadWholeFile("shots/0/param.bin", 1000)->size(), 224u);
    EXPECT_NE(slurp("shots/0/param.ini").find("[uv_param_0]"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists("shots/0/uv_param.png"));
}

}  // namespace
