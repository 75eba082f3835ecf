-- The session of the Ardour render test, built by Ardour's headless Lua interpreter: one
-- stereo track through the plug-in (its VST 3 class ID or its LV2 URI, with the type "VST3"
-- or "LV2") with the settings given in Ardour's units, "index=value" separated by spaces,
-- saved and closed.
AudioEngine:set_backend("None (Dummy)", "", "")
local session = create_session(os.getenv("VELMORA_SESSION_DIR"), os.getenv("VELMORA_SESSION_NAME"), 48000)
assert(session, "the session could not be created")
local tracks = Session:new_audio_track(2, 2, nil, 1, "Velmora", ARDOUR.PresentationInfo.max_order,
                                       ARDOUR.TrackMode.Normal, true)
local plugin = ARDOUR.LuaAPI.new_plugin(Session, os.getenv("VELMORA_PLUGIN_ID"),
                                        ARDOUR.PluginType[os.getenv("VELMORA_PLUGIN_TYPE")], "")
assert(not plugin:isnil(), "Ardour does not know the plug-in")
assert(tracks:front():add_processor_by_index(plugin, 0, nil, true) == 0, "the plug-in was not inserted")
for index, value in string.gmatch(os.getenv("VELMORA_SETTINGS"), "(%d+)=([%d.]+)") do
  assert(ARDOUR.LuaAPI.set_processor_param(plugin, tonumber(index), tonumber(value)))
end
Session:save_state("", false, false, false, false, false)
close_session()
print("session saved")
quit()
