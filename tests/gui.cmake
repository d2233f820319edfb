# Grid control: the toolkit-free core with GoogleTest, and the channel table
# with its in-place editor as Qt Test programs on the offscreen platform.
orvex_add_test(grid_core_tests SOURCES
    grid/GridCoreTest.cpp
    DEPS orvex_gridcore LABELS core)

if(ORVEX_HAVE_QT)
    orvex_add_test(inplace_edit_tests QTTEST SOURCES
        gui/InPlaceEditTest.cpp
        gui/support/TableWindow.h
        DEPS orvex_ui orvex_grid orvex_formmodel Qt6::GuiPrivate LABELS gui TIMEOUT 60)

    # The table as screen readers get it, here and under Wine.
    orvex_add_test(grid_accessible_tests QTTEST SOURCES
        gui/GridAccessibleTest.cpp
        gui/support/TableWindow.h
        DEPS orvex_ui orvex_grid orvex_formmodel Qt6::GuiPrivate LABELS gui TIMEOUT 60)

    orvex_add_test(channel_table_tests QTTEST SOURCES
        gui/ChannelTableTest.cpp
        gui/support/TableWindow.h
        gui/support/Screenshot.h
        DEPS orvex_ui orvex_grid orvex_formmodel Qt6::GuiPrivate LABELS gui TIMEOUT 60)
endif()
