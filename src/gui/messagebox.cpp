#include "messagebox.h"

#include <QPushButton>
#include <QQueue>

namespace
{
QQueue<QMessageBox::StandardButton> &Queued_Answers()
{
  static QQueue<QMessageBox::StandardButton> answers;
  return answers;
}

QList<TMessageBox::TShownMessage> &Shown_Messages()
{
  static QList<TMessageBox::TShownMessage> messages;
  return messages;
}
} // namespace

TMessageBox::TMessageBox(QWidget *parent) : QMessageBox(parent), d_fixed_width(500)
{
  setTextFormat(Qt::RichText);
  setStyleSheet(QStringLiteral("dialogbuttonbox-buttons-have-icons: 0;\nbutton-layout: 1;"));
}

// Texts are shown as written: a file name with "<" or "&" in it is no markup.
void TMessageBox::setText(const QString &text)
{
  d_heading = text;
  QMessageBox::setText(
      QStringLiteral("<span style=\"font-size:10pt; font-weight:600; color:#000000;\" >%1</span>")
          .arg(text.toHtmlEscaped()));
}

void TMessageBox::setInformativeText(const QString &text)
{
  d_text = text;
  QMessageBox::setInformativeText(
      QStringLiteral("<span style=\"font-size:10pt; font-weight:400; color:#000000;\" >%1</span>")
          .arg(text.toHtmlEscaped()));
}

int TMessageBox::exec()
{
  if (!Queued_Answers().isEmpty())
  {
    TShownMessage message;
    message.heading = d_heading;
    message.text = d_text;
    message.details = detailedText();
    message.icon = icon();
    message.buttons = standardButtons();
    message.default_button = defaultButton() ? standardButton(defaultButton()) : NoButton;
    message.parent = parentWidget();
    message.title = windowTitle();
    Shown_Messages().append(message);
    return Queued_Answers().dequeue();
  }
  return QDialog::exec();
}

int TMessageBox::Show(const QString &heading, const QString &text, const QString &details,
                      QMessageBox::StandardButtons buttons,
                      QMessageBox::StandardButton default_button, QMessageBox::Icon icon)
{
  setText(heading);
  setInformativeText(text);
  setDetailedText(details);
  setStandardButtons(buttons);
  setDefaultButton(default_button);
  setIcon(icon);
  return exec();
}

void TMessageBox::Queue_Answer(QMessageBox::StandardButton answer)
{
  Queued_Answers().enqueue(answer);
}

int TMessageBox::Queued_Answer_Count()
{
  return Queued_Answers().size();
}

QList<TMessageBox::TShownMessage> TMessageBox::Take_Shown_Messages()
{
  QList<TShownMessage> messages;
  messages.swap(Shown_Messages());
  return messages;
}

void TMessageBox::Reset_Test_Answers()
{
  Queued_Answers().clear();
  Shown_Messages().clear();
}

void TMessageBox::resizeEvent(QResizeEvent *event)
{
  QMessageBox::resizeEvent(event);
  setFixedWidth(d_fixed_width);
}

void TMessageBox::showEvent(QShowEvent *event)
{
  QMessageBox::showEvent(event);
  setFixedWidth(d_fixed_width);
}
