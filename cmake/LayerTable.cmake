# Which source folders each folder of src/ may include and link; its own always.
# The folders are listed bottom-up and a row names only folders listed before it, so
# the table has no cycles: common at the bottom, then the platform services and stores,
# the widget kit (ui), the media engine (playback), the features with their windows,
# and app on top, which wires them all together.
#
# Read by src/CMakeLists.txt (one library per folder, whose include path holds exactly
# these folders) and by CheckLayers.cmake (every #include of every file, in the build).
set(TARNEL_LAYERS
    common
    platform settings storage
    ui
    playback
    converter online playlist radio system video volume
    visualisation
    app)

set(TARNEL_USES_common "")
set(TARNEL_USES_platform common)
set(TARNEL_USES_settings common)
set(TARNEL_USES_storage common)
set(TARNEL_USES_ui common settings)
set(TARNEL_USES_playback common platform)
set(TARNEL_USES_converter common platform settings ui)
set(TARNEL_USES_online common settings ui)
set(TARNEL_USES_playlist common platform settings ui playback)
set(TARNEL_USES_radio common platform settings storage ui)
set(TARNEL_USES_system common playback)
set(TARNEL_USES_video common settings ui playback)
set(TARNEL_USES_volume common settings ui)
set(TARNEL_USES_visualisation common settings ui playback video)
set(TARNEL_USES_app common platform settings storage ui playback
    converter online playlist radio system video volume visualisation)
