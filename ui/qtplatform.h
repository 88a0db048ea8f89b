#pragma once

#include "link/platform.h"

class QWidget;

namespace veq {

// The platform parts on Qt's dialogs and desktop services.
class QtMessages : public Messages {
  public:
    void show(const QString& text, Icon icon, const QString& title = kAppTitle) override;
    bool askRetry(const QString& text, const QString& title = kAppTitle) override;
};

class QtFileDialogs : public FileDialogs {
  public:
    std::optional<QString> openFileName(const QString& title, const QString& filter,
                                        const QString& initialName) override;
    std::optional<QString> saveFileName(const QString& title, const QString& filter,
                                        const QString& initialName) override;
};

class QtDocumentOpener : public DocumentOpener {
  public:
    bool open(const QString& path) override;
};

}  // namespace veq
