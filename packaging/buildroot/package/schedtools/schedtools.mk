################################################################################
#
# schedtools
#
################################################################################

SCHEDTOOLS_VERSION = 1.0.0
SCHEDTOOLS_SITE = $(BR2_EXTERNAL_SCHEDTOOLS_PATH)/../..
SCHEDTOOLS_SITE_METHOD = local
SCHEDTOOLS_LICENSE = MIT
SCHEDTOOLS_LICENSE_FILES = LICENSE
# The source tree's own build directories are not part of the source.
SCHEDTOOLS_OVERRIDE_SRCDIR_RSYNC_EXCLUSIONS = --exclude='/build*'

$(eval $(cmake-package))
