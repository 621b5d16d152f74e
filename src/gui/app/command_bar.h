#pragma once

#include <QMap>
#include <QPlainTextEdit>
#include <QWidget>

#include "gui/base/commands.h"

class QPushButton;

// A read-only field of the command bar: wraps at the path and list separators and shows a
// vertical scroll bar only when its text takes more than one line.
class CommandField : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CommandField(QWidget* parent = nullptr);
    void setFieldText(const QString& text);
    // The text as set, without the break hints added for wrapping.
    QString fieldText() const { return m_text; }
    int lineCount() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateScrollBar();
    QString m_text;
};

// The command bar under the menu: the command buttons and the folder and box fields.
// Buttons are found by their commands.
class CommandBar : public QWidget {
    Q_OBJECT
public:
    explicit CommandBar(QWidget* parent = nullptr);

    QPushButton* button(Command id) const { return m_buttons.value(id); }
    const QMap<Command, QPushButton*>& buttons() const { return m_buttons; }
    CommandField* folderField() const { return m_folder; }
    CommandField* boxField() const { return m_box; }

signals:
    void command(Command id);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QPushButton* addButton(Command id, const QString& caption);
    void layoutControls();

    QMap<Command, QPushButton*> m_buttons;
    CommandField* m_folder;
    CommandField* m_box;
};
