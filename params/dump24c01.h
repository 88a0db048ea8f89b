#pragma once

#include <array>
#include <optional>

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QWidget>

#include "panelmem/grid.h"
#include "panelmem/memmap.h"
#include "panelmem/operations.h"
#include "panelmem/ui/gridpanel.h"
#include "ui/context.h"

namespace veq {

// The rate-parameter window dump_24c01: reads, edits and programs the panel's rate-display
// parameters (time base, the two averaging levels, anti-bounce, stop threshold, the five coloured
// value ranges, digits, display mode, zero suppression), and holds the memory grid they pass
// through. Controls carry their names as object names, array index in parentheses: HScroll1(2),
// COULE(0), Option2(3), Text1(96).
class Dump24c01 : public QWidget {
    Q_OBJECT
  public:
    explicit Dump24c01(WindowContext& ctx, QWidget* parent = nullptr);

    // "Lire les paramètres": panel memory 96..127 into the grid, then into the controls.
    void but_lit_para_Click();
    // "Programme les paramètres": range check, controls into the grid, grid into the panel.
    void but_ecrit_para_Click();

    void HScroll1_Change(int index);
    void HScroll2_Change();
    void HScroll3_Change();
    void HScroll4_Change();
    void HScroll5_Change();
    // The time base choice k (0 "Heure" to 3 "Autre"); also run by the parameter read.
    void Option2_Click(int k);
    void COULE_Click(int index);
    void Command2_Click();
    void Extension_Click();
    void but_RD_Click();
    void but_WR_Click();

    MemoryGrid& grid() { return grid_; }

    // The settings the controls hold, checked as "Programme les paramètres" checks them (the range
    // gaps, the time base): nothing when a check fails, and `warning` is the message it shows.
    std::optional<memmap::RateSettings> checkedSettings(QString& warning) const;
    // The controls take these settings (from a parameter file, a journal record).
    void applySettings(const memmap::RateSettings& s);
    // Bytes from address `from` on into the grid's cells, then, when they cover 96..127 and hold
    // a programmed memory, the settings there into the controls. False when the controls were
    // left as they were (the bytes do not cover 96..127, or the memory there is blank).
    bool loadBytes(int from, const QByteArray& bytes);

  private:
    void Form_Load();
    void buildTimeBaseFrame();
    void buildRanges();
    void buildCaptionBoxes();
    void buildHiddenRow();
    void buildGridArea();
    void setKeyboardOrder();
    // The grid, its buttons and "Férmer l'extension.", shown while the extension is open.
    void showGrid(bool shown);

    // PLAG(i) from HScroll1(i).
    void rangeCaption(int i);
    // Label21 and Label28 from HScroll5.
    void stopThresholdPreview();

    int rangeColour(int i) const;
    void setRangeColour(int i, int colourNumber);

    // Puts a value read from the panel into a slider. A value the slider cannot hold is brought
    // to its nearest end and noted in `outOfRange` for the operator.
    void putRead(QScrollBar* slider, int value, QStringList& outOfRange);
    void applyReading(const memmap::RateReading& r);
    memmap::RateSettings settings(quint32 timeBase) const;
    // A read that did not fail into the controls: the blank memory's warning, or the settings.
    void showRead(const ops::RateRead& read);

    static int selected(const QButtonGroup* group);  // id of the checked option, 0 for none
    static void deselectAll(QButtonGroup* group);

    WindowContext& ctx_;
    MemoryGrid grid_;

    // Parameter controls
    std::array<QScrollBar*, 6> HScroll1{};
    std::array<QLineEdit*, 5> COULE{};
    std::array<QLabel*, 6> PLAG{};
    QScrollBar* HScroll2;
    QScrollBar* HScroll3;
    QScrollBar* HScroll4;
    QScrollBar* HScroll5;
    QScrollBar* HScroll6;
    QScrollBar* HScroll7;
    QPlainTextEdit* RAFR_AFF;
    QPlainTextEdit* MOYENNE;
    QPlainTextEdit* Text2;
    QPlainTextEdit* Text4;
    QLabel* Label21;
    QLabel* Label28;
    QLineEdit* Text3;
    QLineEdit* Text5;
    std::array<QRadioButton*, 4> Option2{};
    QButtonGroup* timeBaseGroup;
    QButtonGroup* digitsGroup;      // NB_DIGIT(1..3)
    QButtonGroup* modeGroup;        // DECI_ENT(1..2)
    QButtonGroup* suppressGroup;    // SUPRESS(1..2)
    QButtonGroup* brightnessGroup;  // Option1(1..5)
    QPushButton* but_lit_para;
    QPushButton* but_ecrit_para;

    // Memory grid and its extension
    GridPanel* gridPanel_;
    QPushButton* Command2;
    QPushButton* Extension;
};

}  // namespace veq
