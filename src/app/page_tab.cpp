#include "page_tab.h"

#include "ui_product_page.h"
#include "ui_simulator_page.h"

#include "lazy_page.h"

#include <QEvent>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

// A help page: the browser alone, under the names the window has always used.
QTextBrowser *addHelpBrowser(QWidget *tab, const char *tabName, const char *browserName)
{
    tab->setObjectName(QLatin1String(tabName));
    auto *layout = new QVBoxLayout(tab);
    auto *browser = new QTextBrowser(tab);
    browser->setObjectName(QLatin1String(browserName));
    browser->setOpenExternalLinks(false);
    layout->addWidget(browser);
    return browser;
}

} // namespace

PageTab::PageTab(Page page, QWidget *parent)
    : QWidget(parent)
{
    switch (page) {
    case Page::Product:
        m_product = std::make_unique<Ui::ProductPage>();
        m_product->setupUi(this);
        m_page = new LazyPage(m_product->WebBrowser1, QStringLiteral("product1"), this);
        break;
    case Page::Simulator:
        m_simulator = std::make_unique<Ui::SimulatorPage>();
        m_simulator->setupUi(this);
        m_page = new LazyPage(m_simulator->WebBrowser2, QStringLiteral("product2"), this);
        break;
    case Page::HelpIo:
        m_page = new LazyPage(addHelpBrowser(this, "helpTab", "RichTextBox4"),
                              QStringLiteral("help_io"), this);
        break;
    case Page::HelpProtocol:
        m_page = new LazyPage(addHelpBrowser(this, "protocolTab", "RichTextBox3"),
                              QStringLiteral("help_protocol"), this);
        break;
    }
}

PageTab::~PageTab() = default;

void PageTab::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        if (m_product)
            m_product->retranslateUi(this);
        if (m_simulator)
            m_simulator->retranslateUi(this);
        m_page->languageChanged();
    }
    QWidget::changeEvent(event);
}
