// The form box on Qt: a dialog of labelled fields, OK and Cancel, beside the window.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

#include "platform/window/error_handler.h"
#include "platform/window/form_box.h"
#include "platform/window/qt/controls_qt.h"

namespace platform {
namespace {

class QtFormBox : public FormBox {
public:
    QtFormBox(QWidget* owner, const ByteString& title, const std::vector<FormField>& fields) : dialog(new QDialog(owner)) {
        dialog->setWindowTitle(FromBytes(title));
        auto* layout = new QFormLayout(dialog);
        for (const FormField& field : fields) {
            if (field.Type == FormField::Kind::Check) {
                auto* check = new QCheckBox(FromBytes(field.Label));
                layout->addRow(check);
                inputs.push_back(check);
                continue;
            }
            if (field.Type == FormField::Kind::Text) {
                auto* line = new QLineEdit;
                auto* label = new QLabel(FromBytes(field.Label));
                label->setBuddy(line);
                layout->addRow(label, line);
                inputs.push_back(line);
                continue;
            }
            auto* list = new QComboBox;
            list->setEditable(field.Type == FormField::Kind::EditableList);
            list->setInsertPolicy(QComboBox::NoInsert);
            for (const ByteString& item : field.Items) list->addItem(FromBytes(item));
            auto* label = new QLabel(FromBytes(field.Label));
            label->setBuddy(list);
            layout->addRow(label, list);
            inputs.push_back(list);
        }
        status = new QLabel;
        status->setWordWrap(true);
        layout->addRow(status);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        layout->addRow(buttons);
        QObject::connect(buttons, &QDialogButtonBox::accepted, [this] { RunGuarded([this] { Accept(); }); });
        QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);  // Esc too
        std::vector<ByteString> values;
        for (const FormField& field : fields) values.push_back(field.Value);
        SetValues(values);
        dialog->show();
        dialog->raise();
        dialog->activateWindow();
    }
    // The box may end from inside its own OK: it goes once that handling is over.
    ~QtFormBox() override {
        dialog->hide();
        dialog->deleteLater();
    }

    std::vector<ByteString> Values() const override {
        std::vector<ByteString> values;
        for (QWidget* input : inputs) {
            if (auto* check = qobject_cast<QCheckBox*>(input))
                values.push_back(check->isChecked() ? "1" : "0");
            else if (auto* line = qobject_cast<QLineEdit*>(input))
                values.push_back(ToBytes(line->text()));
            else
                values.push_back(ToBytes(static_cast<QComboBox*>(input)->currentText()));
        }
        return values;
    }
    void SetValues(const std::vector<ByteString>& values) override {
        for (size_t i = 0; i < inputs.size() && i < values.size(); ++i) {
            if (auto* check = qobject_cast<QCheckBox*>(inputs[i])) {
                check->setChecked(values[i] == "1");
                continue;
            }
            if (auto* line = qobject_cast<QLineEdit*>(inputs[i])) {
                line->setText(FromBytes(values[i]));
                continue;
            }
            auto* list = static_cast<QComboBox*>(inputs[i]);
            const int index = list->findText(FromBytes(values[i]));
            if (index >= 0) list->setCurrentIndex(index);
            if (list->isEditable()) list->setEditText(FromBytes(values[i]));
        }
    }
    void SetStatus(const ByteString& text) override {
        status->setText(FromBytes(text));
        dialog->adjustSize();  // room for the whole reason
    }
    ByteString Status() const override { return ToBytes(status->text()); }
    bool Visible() const override { return dialog->isVisible(); }
    void Close() override { dialog->hide(); }

private:
    QDialog* dialog;
    std::vector<QWidget*> inputs;
    QLabel* status;
};

}  // namespace

std::unique_ptr<FormBox> ShowFormBox(const Control& owner, const ByteString& title, const std::vector<FormField>& fields) {
    return std::make_unique<QtFormBox>(WidgetOf(owner)->window(), title, fields);
}

}  // namespace platform
