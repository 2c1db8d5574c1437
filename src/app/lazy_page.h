#pragma once

#include "language.h"

#include <QObject>
#include <QString>

#include <optional>

class QTextBrowser;

// A compiled-in HTML page shown in a browser of the window, read the first time
// the browser is shown (the start-up shows none of them) and read again in the
// window's language after a switch.
class LazyPage final : public QObject
{
    Q_OBJECT

public:
    /// \a page is the resource name of the Chinese page ("help_io" for
    /// ":/help_io.html"); the English one ends in "_en".
    LazyPage(QTextBrowser *browser, const QString &page, QObject *parent);

    /// The window's language changed: the page is read again now if the browser
    /// is visible, otherwise when it is next shown.
    void languageChanged();
    /// Reads the page now unless it is already there in the window's language.
    void load();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTextBrowser *m_browser;
    QString m_page;
    std::optional<Language> m_loaded;
};
