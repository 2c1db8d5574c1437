# `cpack` builds a Debian package of what cmake/Install.cmake installs, under /usr.
# Its Depends are worked out by dpkg-shlibdeps from the libraries the programs link
# (package dpkg-dev), so they follow whichever Qt the build used.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME stepperbench)
set(CPACK_PACKAGE_VENDOR StepperBench)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "test and commissioning bench for stepper-motor motion controllers")
# Lines as they appear in the package's control file; an empty line parts paragraphs.
set(CPACK_PACKAGE_DESCRIPTION [=[
StepperBench drives a stepper-motor motion controller over a serial line,
framed as MODBUS RTU or ASCII, and shows every frame sent and every reply
received byte for byte, paired with its request and checked. It has an
exchange log with response times, captures, a motion chart, a bus scan,
configuration sets, and command lists run in a loop.

The package holds the window (stepperbench), a simulated controller on a
pseudo-terminal (stepperbench-sim) and a command-line program for production
benches and firmware CI (stepperbench-cli).]=])
set(STEPPERBENCH_PACKAGE_MAINTAINER "StepperBench developers <maintainers@stepperbench.invalid>"
    CACHE STRING "Maintainer field of the Debian package: name <e-mail>")
set(CPACK_PACKAGE_CONTACT ${STEPPERBENCH_PACKAGE_MAINTAINER})

set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${STEPPERBENCH_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# gensio is loaded when a network line first opens, not linked, so dpkg-shlibdeps cannot
# find it; the libraries it finds are added to this.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgensio4")
# The window's texts are Chinese; without a CJK font they show as boxes. Qt's own
# dialogs speak Chinese with Qt's translations, English without them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fonts-wqy-microhei | fonts-noto-cjk, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# A package carries no debugging symbols, whatever the build type.
set(CPACK_STRIP_FILES ON)

include(CPack)
