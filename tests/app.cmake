# The main window over the simulated cable and radio: start-up, commands,
# band section and files; read and write in real time; the port search.
# Qt Test programs on the offscreen platform.
if(ORVEX_HAVE_QT)
    orvex_add_test(main_frame_tests QTTEST SOURCES
        app/MainFrameTest.cpp
        app/support/FrameHarness.h
        DEPS orvex_app orvex_simradio LABELS gui TIMEOUT 90)

    orvex_add_test(frame_transfer_tests QTTEST SOURCES
        app/TransferTest.cpp
        app/support/FrameHarness.h
        DEPS orvex_app orvex_simradio LABELS gui TIMEOUT 90)

    orvex_add_test(frame_port_search_tests QTTEST SOURCES
        app/PortSearchTest.cpp
        app/support/FrameHarness.h
        DEPS orvex_app orvex_simradio LABELS gui TIMEOUT 90)
endif()

# Cables plugged in and pulled while the window runs, and the port list, as
# Linux names them (Windows has its own: frame_windows_ports_tests).
if(ORVEX_HAVE_QT AND NOT WIN32)
    orvex_add_test(frame_hot_plug_tests QTTEST SOURCES
        app/HotPlugTest.cpp
        app/support/FrameHarness.h
        DEPS orvex_app orvex_simradio LABELS gui TIMEOUT 90)
endif()

# The window at larger desktop fonts; once more at twice the scale and at a
# font resolution of 144 dpi (1.5 device pixels per pixel). The Linux
# desktop's fonts: Wine has none of them.
if(ORVEX_HAVE_QT AND NOT WIN32)
    orvex_add_test(font_scale_tests QTTEST SOURCES
        app/FontScaleTest.cpp
        app/support/FrameHarness.h
        DEPS orvex_app orvex_simradio LABELS gui TIMEOUT 90
        RUNS "x2:QT_SCALE_FACTOR=2" "dpi144:QT_FONT_DPI=144")
endif()

# A message in a script other than Latin, with the machine's own fonts.
if(ORVEX_HAVE_QT)
    orvex_add_test(message_font_tests QTTEST SOURCES app/MessageFontTest.cpp DEPS orvex_ui LABELS gui)
endif()

# The demonstration scripts/run.sh starts, on a virtual screen, keeps what it
# keeps out of the user's folders.
if(ORVEX_HAVE_QT AND NOT WIN32)
    orvex_add_test(demo_folders_tests COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/app/demo-folders-test.sh
        ${PROJECT_SOURCE_DIR}/scripts/demo.sh ${PROJECT_BINARY_DIR}
        DEPS orvex orvex-radio-sim orvex-window-shot LABELS gui TIMEOUT 60)
endif()

# Backups of reads, Write and Verify, Open Backup and unsaved edits brought
# back by the next window.
if(ORVEX_HAVE_QT)
    orvex_add_test(frame_safe_keeping_tests QTTEST SOURCES
        app/SafeKeepingTest.cpp
        app/support/FrameHarness.h
        DEPS orvex_app orvex_simradio LABELS gui TIMEOUT 120)
endif()

# What the command line asks for, read before the toolkit starts.
if(ORVEX_HAVE_QT)
    orvex_add_test(command_line_tests SOURCES app/CommandLineTest.cpp DEPS orvex_command_line LABELS core)
endif()

# Files opened from the command line, by drag and drop and from the recent
# list; the program's --help and --version, run without a display (as POSIX
# child processes).
if(ORVEX_HAVE_QT AND NOT WIN32)
    orvex_add_test(frame_opening_files_tests QTTEST SOURCES
        app/OpeningFilesTest.cpp
        app/support/FrameHarness.h
        DEPS orvex_app orvex_simradio LABELS gui TIMEOUT 120
        ENVIRONMENT "ORVEX_APP=$<TARGET_FILE:orvex>")
    add_dependencies(frame_opening_files_tests orvex)
endif()

# File > Compare with File...
if(ORVEX_HAVE_QT)
    orvex_add_test(frame_compare_tests QTTEST SOURCES
        app/CompareFileTest.cpp
        app/support/FrameHarness.h
        DEPS orvex_app orvex_simradio LABELS gui TIMEOUT 90)
endif()

# File > Import Channels... and Export Channels...
if(ORVEX_HAVE_QT)
    orvex_add_test(frame_channel_exchange_tests QTTEST SOURCES
        app/ChannelExchangeTest.cpp
        app/support/FrameHarness.h
        DEPS orvex_app orvex_simradio LABELS gui TIMEOUT 90)
endif()

# The Edit menu: undo and redo by keys and menu, a paste undone at once, the
# items' enabled state.
if(ORVEX_HAVE_QT)
    orvex_add_test(frame_edit_menu_tests QTTEST SOURCES
        app/EditMenuTest.cpp
        app/support/FrameHarness.h
        DEPS orvex_app orvex_simradio LABELS gui TIMEOUT 90)
endif()

# What the user typed or chose is never replaced behind their back: refused
# entries, channel boxes and the emergency channel, New, Open and a read.
if(ORVEX_HAVE_QT)
    orvex_add_test(frame_user_data_tests QTTEST SOURCES
        app/UserDataTest.cpp
        app/support/FrameHarness.h
        DEPS orvex_app orvex_simradio LABELS gui TIMEOUT 90)
endif()

# The window read as a screen reader reads it, through the accessibility
# bus on the X11 platform: every control's name, the channel table's cells
# after a read, and the keyboard's way through the form.
if(ORVEX_HAVE_QT AND NOT WIN32)
    orvex_add_test(window_accessibility_tests
        COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/app/accessibility/atspi-test.sh
        $<TARGET_FILE:orvex> $<TARGET_FILE:orvex-radio-sim> $<TARGET_FILE:orvex-cli>
        ${PROJECT_SOURCE_DIR}/tests/fuzz/corpus/kvx_open/south_africa.kvx
        DEPS orvex orvex-radio-sim orvex-cli LABELS gui TIMEOUT 120)
endif()

# The form's own painted texts in light, dark and high-contrast themes.
if(ORVEX_HAVE_QT)
    orvex_add_test(theme_contrast_tests QTTEST SOURCES
        app/ThemeContrastTest.cpp
        app/support/FrameHarness.h
        DEPS orvex_app orvex_simradio LABELS gui TIMEOUT 90)
endif()
