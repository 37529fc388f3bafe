#pragma once
// Tints each watched edit whose text the run reads as another number than
// it says, with a tooltip that tells the value used and why. An edit that
// reads as written keeps its own colours and tooltip; no text is changed.
#include <QObject>
#include <QPalette>
#include <QPointer>
#include <QString>

#include <vector>

class QLineEdit;
class TLabeledEdit;

class EditTints : public QObject {
public:
    explicit EditTints(QObject* parent = nullptr);
    ~EditTints() override;

    // Watches `edit` from now on, and tints it at once if its text calls for it.
    void watch(TLabeledEdit* edit);
    // Takes every tint away (the edits look as before watching).
    void clear();

    static QColor tint();

private:
    struct Watched {
        QPointer<QLineEdit> edit;
        QPalette palette;  // as it was before any tint
        QString toolTip;
        bool tinted = false;
    };
    void refresh(Watched& w);
    std::vector<Watched> watched_;
};
