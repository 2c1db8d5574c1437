#include "lazy_page.h"

#include <QEvent>
#include <QFile>
#include <QTextBrowser>

LazyPage::LazyPage(QTextBrowser *browser, const QString &page, QObject *parent)
    : QObject(parent)
    , m_browser(browser)
    , m_page(page)
{
    m_browser->installEventFilter(this);
}

void LazyPage::languageChanged()
{
    if (m_browser->isVisible())
        load();
}

void LazyPage::load()
{
    const Language language = installedLanguage();
    if (m_loaded == language)
        return;
    const QString suffix = language == Language::English ? QStringLiteral("_en") : QString();
    QFile file(QStringLiteral(":/%1%2.html").arg(m_page, suffix));
    // Local pages only: the window never reaches out to the network.
    m_browser->setHtml(file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll())
                                                      : QString());
    m_loaded = language;
}

bool LazyPage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_browser && event->type() == QEvent::Show)
        load();
    return QObject::eventFilter(watched, event);
}
