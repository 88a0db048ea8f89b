#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <initializer_list>
#include <utility>
#include <vector>

#include "link/platform.h"

namespace veq::test {

// Records every message box instead of showing it.
class FakeMessages : public Messages {
  public:
    struct Shown {
        QString text;
        Icon icon;
        QString title;
    };
    void show(const QString& text, Icon icon, const QString& title) override {
        shown.push_back({text, icon, title});
    }
    bool askRetry(const QString& text, const QString& title) override {
        shown.push_back({text, Icon::None, title});
        if (retryAnswers.empty()) return false;
        const bool r = retryAnswers.front();
        retryAnswers.pop_front();
        return r;
    }
    std::vector<QString> texts() const {
        std::vector<QString> out;
        for (const auto& s : shown) out.push_back(s.text);
        return out;
    }
    std::vector<Shown> shown;
    std::deque<bool> retryAnswers;  // answers of askRetry, in order; false when none left
};

// Checks every box shown so far: exactly these texts with these icons, in order, each titled
// with the application's title.
inline void expectShown(const FakeMessages& messages,
                        std::initializer_list<std::pair<QString, Icon>> expected) {
    ASSERT_EQ(messages.shown.size(), expected.size());
    std::size_t k = 0;
    for (const auto& [text, icon] : expected) {
        EXPECT_EQ(messages.shown[k].text, text) << k;
        EXPECT_EQ(messages.shown[k].icon, icon) << k;
        EXPECT_EQ(messages.shown[k].title, kAppTitle) << k;
        ++k;
    }
}

// Answers the file dialogs from a script; records what they were asked.
class FakeFileDialogs : public FileDialogs {
  public:
    struct Asked {
        bool save;
        QString title, filter, initialName;
    };
    std::optional<QString> openFileName(const QString& title, const QString& filter,
                                        const QString& initialName) override {
        asked.push_back({false, title, filter, initialName});
        return next();
    }
    std::optional<QString> saveFileName(const QString& title, const QString& filter,
                                        const QString& initialName) override {
        asked.push_back({true, title, filter, initialName});
        return next();
    }
    std::deque<QString> answers;  // in order; a null QString (or none left) cancels
    std::vector<Asked> asked;

  private:
    std::optional<QString> next() {
        if (answers.empty()) return std::nullopt;
        const QString a = answers.front();
        answers.pop_front();
        if (a.isNull()) return std::nullopt;
        return a;
    }
};

class FakeDocumentOpener : public DocumentOpener {
  public:
    bool open(const QString& path) override {
        opened.push_back(path);
        return result;
    }
    std::vector<QString> opened;
    bool result = false;
};

}  // namespace veq::test
