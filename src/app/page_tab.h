#pragma once

#include <QWidget>

#include <memory>

class LazyPage;

namespace Ui {
class ProductPage;
class SimulatorPage;
} // namespace Ui

// One of the four pages of texts: the two product pages (a column of captions
// beside a page) and the two help pages (a page alone). Each page is read when
// first shown, and again in the window's language after a switch.
class PageTab : public QWidget
{
    Q_OBJECT

public:
    enum class Page { Product, Simulator, HelpIo, HelpProtocol };

    PageTab(Page page, QWidget *parent);
    ~PageTab() override;

protected:
    void changeEvent(QEvent *event) override;

private:
    std::unique_ptr<Ui::ProductPage> m_product;
    std::unique_ptr<Ui::SimulatorPage> m_simulator;
    LazyPage *m_page = nullptr;
};
