#pragma once

#include <optional>

#include <QString>

namespace veq {

// The title every message box of the application carries.
inline const QString kAppTitle = QStringLiteral("VEQ_Cadence");

enum class Icon { None, Information, Warning, Critical };

// Modal message boxes.
class Messages {
  public:
    virtual ~Messages() = default;
    // A box with one OK button.
    virtual void show(const QString& text, Icon icon, const QString& title = kAppTitle) = 0;
    // A box with "Réessayer" and "Annuler"; true when the operator asks to try again.
    virtual bool askRetry(const QString& text, const QString& title = kAppTitle) = 0;
};

// Open and save dialogs. An empty optional means the operator cancelled.
class FileDialogs {
  public:
    virtual ~FileDialogs() = default;
    virtual std::optional<QString> openFileName(const QString& title, const QString& filter,
                                                const QString& initialName) = 0;
    virtual std::optional<QString> saveFileName(const QString& title, const QString& filter,
                                                const QString& initialName) = 0;
};

// Opens a document with the application the desktop associates with it.
class DocumentOpener {
  public:
    virtual ~DocumentOpener() = default;
    virtual bool open(const QString& path) = 0;
};

}  // namespace veq
