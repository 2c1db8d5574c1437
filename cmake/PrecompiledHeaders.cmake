# Qt's headers parsed once per family of targets instead of once per source file: on the
# two-core build machine a source that includes QTest compiles in 2.6 s instead of 4.5 s.
# A family shares its Qt modules and the Qt macros it defines (QT_NO_CAST_FROM_ASCII and
# the like change what Qt's headers declare); one target of it precompiles, the others
# reuse its header. STEPPERBENCH_PCH=OFF builds without.
option(STEPPERBENCH_PCH "Precompile the Qt headers that each family of targets shares" ON)

# What the core, the command-line program and the simulator include most.
set(STEPPERBENCH_PCH_CORE
    <QByteArray> <QByteArrayView> <QCoreApplication> <QDateTime> <QElapsedTimer> <QFile>
    <QFileInfo> <QList> <QObject> <QString> <QStringList> <QStringView> <QTimer>
    <algorithm> <functional> <memory> <optional>)
# The window's classes: the core's headers and the widgets most tabs use.
set(STEPPERBENCH_PCH_WINDOW ${STEPPERBENCH_PCH_CORE}
    <QApplication> <QCheckBox> <QComboBox> <QEvent> <QHeaderView> <QLabel> <QLineEdit>
    <QPushButton> <QTableView> <QWidget>)
# Qt Test over the core; the window's tests add the window's headers.
set(STEPPERBENCH_PCH_TESTS ${STEPPERBENCH_PCH_CORE}
    <QSignalSpy> <QTemporaryDir> <QTest>)
set(STEPPERBENCH_PCH_WINDOW_TESTS ${STEPPERBENCH_PCH_WINDOW}
    <QSignalSpy> <QTemporaryDir> <QTest>)

# `target` precompiles the headers of the list named `family` (CORE, WINDOW, TESTS, ...).
function(stepperbench_precompile target family)
    if(STEPPERBENCH_PCH)
        target_precompile_headers(${target} PRIVATE ${STEPPERBENCH_PCH_${family}})
    endif()
endfunction()

# `target` takes the precompiled headers of `owner`, which shares its Qt modules and macros.
function(stepperbench_reuse_precompiled target owner)
    if(STEPPERBENCH_PCH)
        target_precompile_headers(${target} REUSE_FROM ${owner})
    endif()
endfunction()
