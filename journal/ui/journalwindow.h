#pragma once

#include <functional>
#include <vector>

#include <QByteArray>
#include <QPushButton>
#include <QTableWidget>
#include <QWidget>

#include "journal/journal.h"
#include "ui/context.h"

namespace veq {

// The journal's records, newest first; a record's "before" or "written" bytes go into the
// parameter window's grid and controls, ready for "Programme les paramètres".
class JournalWindow : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kShown = 500;  // records listed, from the newest
    // The port column's widest, in average characters: a long device path is cut in its middle.
    static constexpr int kPortChars = 24;

    // Puts bytes from an address on into the parameter window; false when its controls were
    // left as they were (the bytes hold no programmed settings).
    using Load = std::function<bool(int from, const QByteArray& bytes)>;

    JournalWindow(WindowContext& ctx, Load load, QWidget* parent = nullptr);
    // Reads the journal again.
    void refresh();
    QTableWidget* table() const { return table_; }
    const std::vector<journal::Record>& records() const { return records_; }
    void but_avant_Click();
    void but_ecrit_Click();

  signals:
    // The parameter window has taken a record's bytes.
    void loaded();

  protected:
    // Opens over the whole client area of the main window.
    void showEvent(QShowEvent* event) override;

  private:
    void load(bool before);

    WindowContext& ctx_;
    Load load_;
    QTableWidget* table_;
    QPushButton* but_avant;
    QPushButton* but_ecrit;
    QPushButton* but_actualiser;
    std::vector<journal::Record> records_;
};

}  // namespace veq
