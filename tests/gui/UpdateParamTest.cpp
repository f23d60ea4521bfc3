// The patch editor: the parameter view in field-selection mode marks two
// fields, F3 checks and closes, and IR3.upm holds exactly those marks.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include "GuiSupport.h"
#include "app/config/CUpdateParam.h"
#include "app/config/ParamView.h"
#include "config/CUpdateParamIds.h"
#include "config/ParamViewIds.h"
#include "support/TempFolder.h"
#include "util/WholeFile.h"

namespace w = paramwin;

TEST(UpdateParamWindow, EditorMarksTwoFieldsAndWritesIr3Upm) {
    TempFolder folder;
    BoxRecorder boxes;
    CUpdateParam editor;
    const int sumsize = FindParamField(ParamKind::Ir, "sumsize")->cell;
    const int sum45_2 = FindParamField(ParamKind::Ir, "sum45")->cell + 2;
    bool sawSelection = false;
    // Inside the view's own loop: select, edit, end with F3.
    QTimer::singleShot(0, [&] {
        auto* view = editor.findChild<ParamViewBase*>();
        ASSERT_TRUE(view);
        ASSERT_TRUE(pumpUntil([&] { return view->filled(); }));
        view->onCommand(w::kSelectFields);
        sawSelection = view->text(w::kSelectFields) == "End Selection";
        view->selectCell(sumsize, true);
        view->selectCell(sum45_2, true);
        view->selectCell(sumsize + 1, true);  // and deselected again, as Shift-Click does
        view->selectCell(sumsize + 1, false);
        view->setText(sumsize, "100");
        view->onCommand(w::kWrite);
    });
    editor.onCommand(updateparamwin::kFromDefaults);

    EXPECT_TRUE(sawSelection);
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_EQ(boxes.calls[0].caption + ": " + boxes.calls[0].text, "Done: \"IR3.upm\" has been created.");
    const auto file = ReadWholeFile("IR3.upm", 4000);
    ASSERT_TRUE(file);
    const auto patch = DecodePatch(*file);
    ASSERT_TRUE(patch && patch->crcGood);
    std::vector<std::string> marked;
    for (const ParamElement& e : MarkedElements(ParamKind::Ir, patch->mask)) marked.push_back(ElementName(e));
    EXPECT_EQ(marked, (std::vector<std::string>{"sum45_2", "sumsize"}));
    EXPECT_EQ(patch->values.value("sumsize"), 100);

    // Nothing marked: no file.
    std::filesystem::remove("IR3.upm");
    QTimer::singleShot(0, [&] {
        auto* view = editor.findChild<ParamViewBase*>();
        ASSERT_TRUE(view && pumpUntil([&] { return view->filled(); }));
        view->onCommand(w::kWrite);
    });
    editor.onCommand(updateparamwin::kFromDefaults);
    EXPECT_EQ(boxes.calls.back().text, "No fields marked for update.\r\n\r\nUPM file not created...");
    EXPECT_FALSE(std::filesystem::exists("IR3.upm"));
}
