# The release package, build/dist/ZelmKvel-<version>.zip, made from this release build
# whenever something in it changes (package/make-package.sh says what goes in).
add_custom_command(
  OUTPUT ${ZELM_ZIP}
  COMMAND ${ZELM_ROOT}/package/make-package.sh ${ZELM_DIST_DIR} ${PROJECT_VERSION} ${CMAKE_STRIP}
          $<TARGET_FILE:ZelmKvel> $<TARGET_FILE:zelm_sim> ${CMAKE_BINARY_DIR}/ZelmKvel.tlb ${ZELM_IDL}
  DEPENDS ZelmKvel zelm_sim ${ZELM_GENERATED}/ZelmKvel.tlb ${ZELM_IDL}
          ${ZELM_ROOT}/package/make-package.sh ${ZELM_ROOT}/package/register.cmd.in
          ${ZELM_ROOT}/package/README.txt.in ${ZELM_ROOT}/README.md
          ${ZELM_ROOT}/docs/skin-reference.md ${ZELM_ROOT}/tools/skins/default.skin
          ${ZELM_ROOT}/tools/drives/sample.csv
  COMMENT "Packaging ${ZELM_ZIP}"
  VERBATIM)
add_custom_target(dist ALL DEPENDS ${ZELM_ZIP})
