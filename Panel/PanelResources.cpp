#include "PanelResources.h"

#include <QtGlobal>

void initPanelResources()
{
    Q_INIT_RESOURCE(panel);
}
