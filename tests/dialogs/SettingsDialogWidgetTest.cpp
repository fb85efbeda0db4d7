// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/OKRightDlg.h"
#include "dialogs/SetCommand.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <cmath>

#include <functional>
#include <string>
#include <vector>

using namespace ostrel;

namespace {

// Everything that happens, in order: counter calls, the dialog's opening with
// its four texts, rebuilds and the not-connected message.
std::vector<std::string> Events;

std::string Texts(const TOKRightDlg& dialog) {
    return (dialog.Edit1->text() + "|" + dialog.Edit2->text() + "|" + dialog.Edit3->text() + "|" +
            dialog.Edit4->text())
        .toStdString();
}

struct TFakeCounter {
    static inline std::uint16_t Coefficient = 0;
    static inline std::uint16_t Background = 0;

    // Plain functions: GCC converts no lambda to a 32-bit stdcall pointer.
    static std::int32_t PEXLAR_CALL GetCoefficient(std::uint32_t id, std::uint16_t* c,
                                                   std::uint16_t* b) {
        Events.push_back("GetCoefficient " + std::to_string(id));
        *c = Coefficient;
        *b = Background;
        return 1;
    }
    static std::int32_t PEXLAR_CALL SetCoefficient(std::uint32_t id, std::uint16_t c,
                                                   std::uint16_t b) {
        Events.push_back("SetCoefficient " + std::to_string(id) + " " + std::to_string(c) + " " +
                         std::to_string(b));
        return 1;
    }
    static TCounterEntryPoints EntryPoints() {
        TCounterEntryPoints e;
        e.GetCoefficient = &GetCoefficient;
        e.SetCoefficient = &SetCoefficient;
        return e;
    }
};

void Type(QLineEdit* edit, const QString& text) {
    edit->clear();
    QTest::keyClicks(edit, text);
}

// Runs action once the dialog is up inside open(); a dialog still open
// afterwards is closed by the title bar's way, and one that never lets go is
// failed and ended so that the test cannot hang.
void WhileOpen(TOKRightDlg& dialog, const std::function<void()>& open,
               const std::function<void()>& action) {
    QTimer::singleShot(0, &dialog, [&] {
        if (!dialog.isVisible()) {
            ADD_FAILURE() << "dialog not shown";
            return;
        }
        Events.push_back("shown " + Texts(dialog));
        action();
    });
    QTimer safety;
    safety.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, &dialog, [&] {
        ADD_FAILURE() << "dialog still open";
        dialog.done(QDialog::Rejected);
    });
    safety.start(120'000);
    open();
}

void CloseByTitleBar(TOKRightDlg& dialog) {
    dialog.windowHandle()->close();
}

void PressEnter(QWidget* widget) {
    QTest::keyClick(widget, Qt::Key_Return);
}

class SettingsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        Events.clear();
        TFakeCounter::Coefficient = 158;
        TFakeCounter::Background = 25;
    }

    // The main window's state as SetClick sees it.
    double GraphCoefficient = 0.00158;
    std::int32_t GraphBackground = 0;
    std::uint16_t DeviceCoefficient = 0;
    std::uint16_t DeviceBackground = 0;
    std::uint32_t DeviceId = 0;
    TCounterEntryPoints Counter = TFakeCounter::EntryPoints();
    TOKRightDlg Dialog{TFormatSettings{}};

    TSetContext Context() {
        return TSetContext{GraphCoefficient,
                           GraphBackground,
                           DeviceCoefficient,
                           DeviceBackground,
                           DeviceId,
                           Counter,
                           Dialog,
                           [this] {
                               Events.push_back("RebuildDisplay " +
                                                std::to_string(GraphCoefficient) + " " +
                                                std::to_string(GraphBackground));
                           },
                           [] { Events.push_back("NotConnected"); }};
    }
    void SetClickWith(const std::function<void()>& action) {
        WhileOpen(
            Dialog, [this] { SetClick(Context()); }, action);
    }
    int ExecWith(const std::function<void()>& action) {
        int result = -1;
        WhileOpen(
            Dialog, [&] { result = Dialog.exec(); }, action);
        return result;
    }
};

TEST_F(SettingsDialogTest, LooksAsDescribed) {
    EXPECT_EQ(Dialog.windowTitle(), "各種設定");
    // Drawn 330 x 112; widened where this font's labels would not fit.
    const double scale = Dialog.HorizontalScale();
    const auto x = [scale](int v) { return static_cast<int>(std::lround(v * scale)); };
    EXPECT_EQ(Dialog.minimumSize(), QSize(x(330), 112));
    EXPECT_EQ(Dialog.maximumSize(), QSize(x(330), 112));
    const auto flags = Dialog.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowContextHelpButtonHint);

    struct TControl {
        QWidget* Widget;
        const char* Text;
        QRect Geometry;
    };
    const std::vector<TControl> controls = {
        {Dialog.Label1, "グラフ係数", {8, 11, 49, 13}},
        {Dialog.Edit1, "", {63, 8, 90, 21}},
        {Dialog.Label2, "バックグラウンド", {160, 11, 69, 13}},
        {Dialog.Edit2, "", {235, 8, 87, 21}},
        {Dialog.Label3, "本体係数", {8, 38, 48, 13}},
        {Dialog.Edit3, "", {63, 35, 90, 21}},
        {Dialog.Label4, "バックグラウンド", {160, 38, 69, 13}},
        {Dialog.Edit4, "", {235, 35, 87, 21}},
        {Dialog.OKBtn, "確定", {124, 70, 81, 27}},
    };
    for (const auto& c : controls) {
        const QRect& g = c.Geometry;
        EXPECT_EQ(c.Widget->geometry(),
                  QRect(x(g.left()), g.top(), x(g.right() + 1) - x(g.left()), g.height()))
            << c.Text;
        if (const auto* label = qobject_cast<QLabel*>(c.Widget)) {
            EXPECT_EQ(label->text(), c.Text);
            EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width())
                << c.Text;
        }
    }
    EXPECT_EQ(Dialog.OKBtn->text(), "確定");
    EXPECT_TRUE(Dialog.OKBtn->isDefault());
    EXPECT_EQ(Dialog.findChildren<QPushButton*>().size(), 1); // no cancel button
    EXPECT_EQ(Dialog.GraphCoefficient, 0.0);
    EXPECT_EQ(Dialog.GraphBackground, 0);
    EXPECT_EQ(Dialog.DeviceCoefficient, 0);
    EXPECT_EQ(Dialog.DeviceBackground, 0);
}

TEST_F(SettingsDialogTest, TabOrderStartsAtTheButton) {
    std::vector<QWidget*> order;
    QWidget* widget = Dialog.OKBtn;
    do {
        if (widget->focusPolicy() & Qt::TabFocus) {
            order.push_back(widget);
        }
        widget = widget->nextInFocusChain();
    } while (widget != Dialog.OKBtn && order.size() < 20);
    const std::vector<QWidget*> expected = {Dialog.OKBtn, Dialog.Edit1, Dialog.Edit2, Dialog.Edit3,
                                            Dialog.Edit4};
    EXPECT_EQ(order, expected);
}

TEST_F(SettingsDialogTest, EveryOpeningFocusesTheButtonAndIsCentred) {
    const QPoint screenCentre = Dialog.screen()->geometry().center();
    for (int opening = 0; opening < 2; ++opening) {
        ExecWith([&] {
            EXPECT_EQ(Dialog.focusWidget(), Dialog.OKBtn) << opening;
            EXPECT_LE((Dialog.frameGeometry().center() - screenCentre).manhattanLength(), 2)
                << opening;
            Dialog.Edit3->setFocus();
            Dialog.move(0, 0);
            CloseByTitleBar(Dialog);
        });
    }
}

TEST_F(SettingsDialogTest, EnterAnywherePressesOK) {
    const std::vector<QWidget*> places = {Dialog.OKBtn, Dialog.Edit1, Dialog.Edit2, Dialog.Edit3,
                                          Dialog.Edit4};
    for (auto* place : places) {
        Dialog.GraphBackground = 1;
        const int result = ExecWith([&] {
            Type(Dialog.Edit2, "42");
            PressEnter(place);
        });
        EXPECT_EQ(result, QDialog::Accepted);
        EXPECT_EQ(Dialog.GraphBackground, 42);
    }
}

TEST_F(SettingsDialogTest, EscapeDoesNothingTitleBarCancels) {
    Dialog.GraphBackground = 3;
    bool stayedOpen = false;
    const int result = ExecWith([&] {
        Type(Dialog.Edit2, "9");
        QTest::keyClick(Dialog.Edit2, Qt::Key_Escape);
        QTest::keyClick(Dialog.OKBtn, Qt::Key_Escape);
        stayedOpen = Dialog.isVisible();
        CloseByTitleBar(Dialog);
    });
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(Dialog.GraphBackground, 3);
}

TEST_F(SettingsDialogTest, TextThatDoesNotParseKeepsTheDialogOpen) {
    struct TCase {
        QLineEdit* TheEdit;
        const char* Text;
    };
    const std::vector<TCase> cases = {
        {Dialog.Edit2, "12.5"}, {Dialog.Edit2, "abc"},         {Dialog.Edit2, ""},
        {Dialog.Edit2, "1 "},   {Dialog.Edit1, "abc"},         {Dialog.Edit1, "0,5"},
        {Dialog.Edit1, ""},     {Dialog.Edit3, "x"},           {Dialog.Edit3, "1e5000"},
        {Dialog.Edit4, "1.0"},  {Dialog.Edit4, "99999999999"}, {Dialog.Edit4, " 7 "},
    };
    for (const auto& c : cases) {
        Dialog.GraphCoefficient = 0.00158;
        Dialog.GraphBackground = 4;
        Dialog.DeviceCoefficient = 5;
        Dialog.DeviceBackground = 6;
        bool stayedOpen = false;
        std::string textsAfter;
        const int result = ExecWith([&] {
            // Every other edit holds a valid new value: none may be taken.
            Type(Dialog.Edit1, "0.5");
            Type(Dialog.Edit2, "8");
            Type(Dialog.Edit3, "0.0001");
            Type(Dialog.Edit4, "9");
            Type(c.TheEdit, c.Text);
            PressEnter(Dialog.Edit1);
            stayedOpen = Dialog.isVisible();
            textsAfter = Texts(Dialog);
            CloseByTitleBar(Dialog);
        });
        EXPECT_TRUE(stayedOpen) << c.Text;
        EXPECT_EQ(result, QDialog::Rejected) << c.Text;
        EXPECT_NE(textsAfter.find(c.Text), std::string::npos) << c.Text << " / " << textsAfter;
        EXPECT_EQ(Dialog.GraphCoefficient, 0.00158) << c.Text;
        EXPECT_EQ(Dialog.GraphBackground, 4) << c.Text;
        EXPECT_EQ(Dialog.DeviceCoefficient, 5) << c.Text;
        EXPECT_EQ(Dialog.DeviceBackground, 6) << c.Text;
    }
}

TEST_F(SettingsDialogTest, ParsesEachEditByItsRule) {
    struct TCase {
        const char* Edit1;
        const char* Edit2;
        const char* Edit3;
        const char* Edit4;
        double GraphCoefficient;
        std::int32_t GraphBackground;
        std::uint16_t DeviceCoefficient;
        std::uint16_t DeviceBackground;
    };
    const std::vector<TCase> cases = {
        {" 1E-3 ", "0", "1E-5", "65536", 0.001, 0, 1, 0},
        {"1E-3", "-7", "-1E-5", "-1", 0.001, -7, 65535, 65535},
        {"0.00158", "$10", "0.00158999", "70000", 0.00158, 16, 158, 4464},
        {"-2", "2147483647", "0.65536", "$FFFF", -2, 2147483647, 0, 65535},
        {"5e-5", "-2147483648", "0.00013", "0x10", 5e-5, -2147483647 - 1, 13, 16},
    };
    for (const auto& c : cases) {
        Dialog.Edit1->setText(c.Edit1);
        Dialog.Edit2->setText(c.Edit2);
        Dialog.Edit3->setText(c.Edit3);
        Dialog.Edit4->setText(c.Edit4);
        Dialog.OKBtnClick();
        EXPECT_EQ(Dialog.GraphCoefficient, c.GraphCoefficient) << c.Edit1;
        EXPECT_EQ(Dialog.GraphBackground, c.GraphBackground) << c.Edit2;
        EXPECT_EQ(Dialog.DeviceCoefficient, c.DeviceCoefficient) << c.Edit3;
        EXPECT_EQ(Dialog.DeviceBackground, c.DeviceBackground) << c.Edit4;
        EXPECT_EQ(Dialog.result(), QDialog::Accepted);
    }
}

TEST_F(SettingsDialogTest, ShowsTheFieldsAsTexts) {
    struct TCase {
        double GraphCoefficient;
        std::int32_t GraphBackground;
        std::uint16_t DeviceCoefficient;
        std::uint16_t DeviceBackground;
        const char* Texts;
    };
    const std::vector<TCase> cases = {
        {0.00158, 0, 0, 0, "0.00158|0|0|0"},
        {1E-5, -12, 1, 65535, "1E-5|-12|1E-5|65535"},
        {1E15, 2147483647, 65535, 7, "1E15|2147483647|0.65535|7"},
        {0.1, -2147483647 - 1, 158, 0, "0.1|-2147483648|0.00158|0"},
    };
    for (const auto& c : cases) {
        Dialog.GraphCoefficient = c.GraphCoefficient;
        Dialog.GraphBackground = c.GraphBackground;
        Dialog.DeviceCoefficient = c.DeviceCoefficient;
        Dialog.DeviceBackground = c.DeviceBackground;
        Dialog.FormShow();
        EXPECT_EQ(Texts(Dialog), c.Texts);
    }
}

TEST_F(SettingsDialogTest, EveryCounterPairComesBackUnchanged) {
    int wrong = 0;
    for (std::uint32_t n = 0; n <= 65535 && wrong < 10; ++n) {
        const auto value = static_cast<std::uint16_t>(n);
        Dialog.DeviceCoefficient = value;
        Dialog.DeviceBackground = value;
        Dialog.FormShow();
        Dialog.DeviceCoefficient = static_cast<std::uint16_t>(value + 1);
        Dialog.DeviceBackground = static_cast<std::uint16_t>(value + 1);
        Dialog.OKBtnClick();
        if (Dialog.DeviceCoefficient != value || Dialog.DeviceBackground != value) {
            ++wrong;
            ADD_FAILURE() << n << " came back as " << Dialog.DeviceCoefficient << " / "
                          << Dialog.DeviceBackground;
        }
    }
}

TEST_F(SettingsDialogTest, FreshStartNotConnectedOKRebuildsOnly) {
    SetClickWith([&] { PressEnter(Dialog.OKBtn); });
    const std::vector<std::string> expected = {"shown 0.00158|0|0|0", "RebuildDisplay 0.001580 0"};
    EXPECT_EQ(Events, expected);
}

TEST_F(SettingsDialogTest, GraphPairIsTakenBeforeTheRebuild) {
    SetClickWith([&] {
        Type(Dialog.Edit1, " 1E-3 ");
        Type(Dialog.Edit2, "-5");
        PressEnter(Dialog.Edit2);
    });
    const std::vector<std::string> expected = {"shown 0.00158|0|0|0", "RebuildDisplay 0.001000 -5"};
    EXPECT_EQ(Events, expected);
    EXPECT_EQ(GraphCoefficient, 0.001);
    EXPECT_EQ(GraphBackground, -5);
}

TEST_F(SettingsDialogTest, NotConnectedCounterChangeIsDroppedWithTheMessage) {
    SetClickWith([&] {
        Type(Dialog.Edit3, "0.00158");
        PressEnter(Dialog.Edit3);
    });
    SetClickWith([&] { CloseByTitleBar(Dialog); });
    const std::vector<std::string> expected = {"shown 0.00158|0|0|0", "RebuildDisplay 0.001580 0",
                                               "NotConnected", "shown 0.00158|0|0|0"};
    EXPECT_EQ(Events, expected);
    EXPECT_EQ(DeviceCoefficient, 0);
    EXPECT_EQ(DeviceBackground, 0);
}

TEST_F(SettingsDialogTest, ConnectedReadsFirstAndWritesOnlyAChange) {
    DeviceId = 7;
    SetClickWith([&] {
        Type(Dialog.Edit4, "30");
        PressEnter(Dialog.Edit4);
    });
    EXPECT_EQ(DeviceCoefficient, 158);
    EXPECT_EQ(DeviceBackground, 30);
    SetClickWith([&] { PressEnter(Dialog.OKBtn); });
    const std::vector<std::string> expected = {
        "GetCoefficient 7", "shown 0.00158|0|0.00158|25", "RebuildDisplay 0.001580 0",
        "SetCoefficient 7 158 30",
        // The fake counter still answers 25: the dialog shows what the counter says.
        "GetCoefficient 7", "shown 0.00158|0|0.00158|25", "RebuildDisplay 0.001580 0"};
    EXPECT_EQ(Events, expected);
    EXPECT_EQ(DeviceBackground, 25);
}

TEST_F(SettingsDialogTest, TitleBarCloseChangesNothing) {
    DeviceId = 7;
    SetClickWith([&] {
        Type(Dialog.Edit1, "0.5");
        Type(Dialog.Edit3, "0.1");
        CloseByTitleBar(Dialog);
    });
    const std::vector<std::string> expected = {"GetCoefficient 7", "shown 0.00158|0|0.00158|25"};
    EXPECT_EQ(Events, expected);
    EXPECT_EQ(GraphCoefficient, 0.00158);
    EXPECT_EQ(DeviceCoefficient, 158); // as read from the counter
}

TEST_F(SettingsDialogTest, DisconnectWhileOpenGivesTheMessage) {
    DeviceId = 7;
    SetClickWith([&] {
        Type(Dialog.Edit3, "0.002");
        QTimer::singleShot(0, &Dialog, [&] {
            DeviceId = 0; // the acquisition tick saw the counter go
            PressEnter(Dialog.Edit3);
        });
    });
    const std::vector<std::string> expected = {"GetCoefficient 7", "shown 0.00158|0|0.00158|25",
                                               "RebuildDisplay 0.001580 0", "NotConnected"};
    EXPECT_EQ(Events, expected);
    EXPECT_EQ(DeviceCoefficient, 158);
    EXPECT_EQ(DeviceBackground, 25);
}

TEST(NotConnectedMessageTest, IsAnOwnerlessOKBoxWithoutIcon) {
    bool checked = false;
    QTimer::singleShot(0, [&] {
        QMessageBox* box = nullptr;
        for (auto* widget : QApplication::topLevelWidgets()) {
            if (auto* candidate = qobject_cast<QMessageBox*>(widget);
                candidate != nullptr && candidate->isVisible()) {
                box = candidate;
            }
        }
        if (box == nullptr) {
            ADD_FAILURE() << "no message box";
            QApplication::exit();
            return;
        }
        EXPECT_EQ(box->text(), "接続されていません。");
        EXPECT_EQ(box->windowTitle(), "接続確認");
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        EXPECT_EQ(box->parentWidget(), nullptr);
        EXPECT_EQ(box->windowModality(), Qt::NonModal);
        checked = true;
        box->button(QMessageBox::Ok)->click();
    });
    ShowNotConnectedMessage();
    EXPECT_TRUE(checked);
}

} // namespace
