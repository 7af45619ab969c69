#include "PresetMenu.h"

#include "AStatusLine.h"
#include "ATolvane.h"
#include "CommandEngine.h"
#include "Presets.h"

#include <QCoreApplication>
#include <QInputDialog>
#include <QMenu>

namespace {

// Failures are news for the window's status line; success shows in the controls.
void tell(ATolvane &panel, const QString &news)
{
    if (!news.isEmpty() && panel.fStatusLine)
        panel.fStatusLine->setMessage(news);
}

void saveAs(ATolvane &panel)
{
    bool ok = false;
    const QString name
        = QInputDialog::getText(&panel, QCoreApplication::translate("PresetMenu", "Save preset"),
                                QCoreApplication::translate("PresetMenu", "Preset name:"), QLineEdit::Normal, {}, &ok)
              .trimmed();
    if (!ok || name.isEmpty() || !panel.isAttached())
        return;
    tell(panel, savePreset(name, panelState(panel)));
}

void load(ATolvane &panel, const QString &name)
{
    if (!panel.isAttached())
        return;
    const LoadedPreset loaded = loadPreset(name);
    tell(panel, loaded.state ? applyPresetState(panel, *loaded.state).err : loaded.error);
}

void showMenu(ATolvane &panel, QWidget *background, const QPoint &at)
{
    QMenu menu(&panel);
    const bool attached = panel.isAttached();
    menu.addAction(QCoreApplication::translate("PresetMenu", "Save as…"), &panel, [&panel] { saveAs(panel); })
        ->setEnabled(attached);
    const QStringList names = presetNames();
    if (!names.isEmpty())
        menu.addSeparator();
    for (const QString &name : names)
        menu.addAction(name, &panel, [&panel, name] { load(panel, name); })->setEnabled(attached);
    QMenu *remove = menu.addMenu(QCoreApplication::translate("PresetMenu", "Delete"));
    remove->setEnabled(!names.isEmpty());
    for (const QString &name : names)
        remove->addAction(name, &panel, [&panel, name] { tell(panel, deletePreset(name)); });
    menu.exec(background->mapToGlobal(at));
}

} // namespace

void installPresetMenu(ATolvane &panel)
{
    QWidget *background = panel.centralWidget();
    if (!background)
        return;
    background->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(background, &QWidget::customContextMenuRequested, &panel,
                     [&panel, background](const QPoint &at) { showMenu(panel, background, at); });
}
