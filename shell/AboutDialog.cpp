#include "shell/AboutDialog.h"

#include "shell/GuiText.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

namespace tarvel {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(GuiText("O programe"));
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("aboutPicture"));
    picture->setPixmap(QIcon(QStringLiteral(":/pictures/about.svg")).pixmap(QSize(163, 80)));
    picture->setFixedSize(163, 80);
    auto* text = new QLabel(GuiText("Tarvel\n\nZadávanie, preberanie a hodnotenie programov v jazyku C:\n"
                                    "náhodné varianty zadaní poštou, preklad a test odovzdaných prác,\n"
                                    "štýl programu, podobnosť prác a výsledková listina."),
                            this);
    text->setObjectName(QStringLiteral("aboutText"));
    auto* ok = new QPushButton(GuiText("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* top = new QHBoxLayout;
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addWidget(text);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(bottom);
}

} // namespace tarvel
