#pragma once

#include <QStackedWidget>

class QAbstractButton;
class QButtonGroup;

// Pages with a row of tabs above them. The tabs have a fixed width and wrap
// onto further rows when the control is too narrow for one row. Each page's
// caption is its windowTitle ("&" marks the access key, "&&" shows one "&").
// The tabs are buttons, so keyboard and assistive technology reach them by
// their captions.
class TPageControl : public QStackedWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(TPageControl)

public:
    explicit TPageControl(QWidget *parent = nullptr);

    int TabWidth() const { return m_tabWidth; }
    void setTabWidth(int width);
    int TabHeight() const { return m_tabHeight; }
    // Rows of tabs now shown.
    int TabRows() const { return m_rows; }
    QAbstractButton *tabButton(int index) const;

    QWidget *ActivePage() const { return currentWidget(); }
    void setActivePage(QWidget *page) { setCurrentWidget(page); }

protected:
    bool eventFilter(QObject *watched, QEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void childEvent(QChildEvent *e) override;
    bool event(QEvent *e) override;

private:
    void stepPage(int by, bool wrap);
    void rebuildTabs();
    void layoutTabs();

    QWidget *m_strip = nullptr;
    QButtonGroup *m_group = nullptr;
    int m_tabWidth = 100;
    int m_tabHeight = 20;
    int m_rows = 1;
    bool m_rebuildPending = false;
};
