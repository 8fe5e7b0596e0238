# The release packages, build/dist/ZelmKvel-<version>.zip and .msi, and their checksums
# beside them, made from this release build whenever something in them changes
# (package/make-package.sh says what goes in), dated as the release is.
add_custom_command(
  OUTPUT ${ZELM_ZIP} ${ZELM_MSI} ${ZELM_RELEASE_SUMS}
  COMMAND ${ZELM_DATED} ${ZELM_ROOT}/package/make-package.sh ${ZELM_DIST_DIR} ${PROJECT_VERSION} ${CMAKE_STRIP}
          $<TARGET_FILE:ZelmKvel> $<TARGET_FILE:zelm_sim> $<TARGET_FILE:zelm_check>
          ${CMAKE_BINARY_DIR}/ZelmKvel.tlb ${ZELM_IDL}
  DEPENDS ZelmKvel zelm_sim zelm_check ${ZELM_GENERATED}/ZelmKvel.tlb ${ZELM_IDL}
          ${ZELM_ROOT}/package/make-package.sh ${ZELM_ROOT}/package/make-msi.sh ${ZELM_ROOT}/package/ZelmKvel.wxs
          ${ZELM_ROOT}/package/install.cmd.in ${ZELM_ROOT}/package/uninstall.cmd.in
          ${ZELM_ROOT}/package/README.txt.in
          ${ZELM_ROOT}/docs/skin-reference.md ${ZELM_ROOT}/docs/skin-reference.html ${ZELM_ROOT}/docs/hosting.md
          ${ZELM_ROOT}/package/sample-drive.csv ${ZELM_SOURCE_DATE}
  BYPRODUCTS ${ZELM_DIST_FOLDER}-buildinfo.txt
  COMMENT "Packaging ${ZELM_ZIP} and ${ZELM_MSI}"
  VERBATIM)
add_custom_target(dist ALL DEPENDS ${ZELM_ZIP} ${ZELM_MSI} ${ZELM_RELEASE_SUMS})
