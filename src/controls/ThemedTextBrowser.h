#pragma once

#include <QTextBrowser>

namespace orvelin {

// A text browser for the program's own pages whose colours follow the
// palette: the pages carry no colours of their own, this browser gives them a
// style sheet made from its palette (again whenever the palette changes), and
// under a dark palette a picture "x.png" is shown as "dark/x.png" from the
// same folder when that file exists.
class ThemedTextBrowser : public QTextBrowser {
    Q_OBJECT
public:
    explicit ThemedTextBrowser(QWidget* parent = nullptr);

    QVariant loadResource(int type, const QUrl& name) override;

protected:
    void changeEvent(QEvent* event) override;

private:
    void ApplyPalette();
};

} // namespace orvelin
