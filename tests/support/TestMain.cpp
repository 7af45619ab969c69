#include "PanelResources.h"

#include <QApplication>
#include <gtest/gtest.h>

// Every test program runs with a real application object on the off-screen platform, so that
// widgets, events and queued calls behave as in the panel.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    initPanelResources();
    return RUN_ALL_TESTS();
}
