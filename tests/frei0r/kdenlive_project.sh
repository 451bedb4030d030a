# The project as Kdenlive 22.12 saves it, for the tests to source: the
# folder's card.png (240 x 135) as a clip of the given length on one track
# of a tractor, with the filter's properties on the clip when any are given.
# Usage: kdenlive_project FOLDER FRAMES OUT_TIMECODE [FILTER_PROPERTIES]
kdenlive_project() {
  local root=$1 frames=$2 out=$3 properties=${4:-}
  local filter=""
  if [ -n "$properties" ]; then
    filter="   <filter id=\"filter0\">
    <property name=\"mlt_service\">frei0r.tidalhalo</property>
    <property name=\"kdenlive_id\">frei0r.tidalhalo</property>
$properties
    <property name=\"kdenlive:collapsed\">0</property>
   </filter>"
  fi
  cat <<XML
<?xml version='1.0' encoding='utf-8'?>
<mlt LC_NUMERIC="C" producer="main_bin" version="7.12.0" root="$root">
 <profile description="card" width="240" height="135" progressive="1" sample_aspect_num="1" sample_aspect_den="1" display_aspect_num="16" display_aspect_den="9" frame_rate_num="25" frame_rate_den="1" colorspace="709"/>
 <producer id="producer0" in="00:00:00.000" out="$out">
  <property name="length">$frames</property>
  <property name="eof">pause</property>
  <property name="resource">$root/card.png</property>
  <property name="ttl">25</property>
  <property name="aspect_ratio">1</property>
  <property name="mlt_service">qimage</property>
  <property name="kdenlive:clipname"/>
  <property name="kdenlive:clip_type">5</property>
  <property name="kdenlive:id">2</property>
 </producer>
 <playlist id="main_bin">
  <property name="kdenlive:docproperties.version">1.04</property>
  <property name="xml_retain">1</property>
  <entry producer="producer0" in="00:00:00.000" out="$out"/>
 </playlist>
 <playlist id="playlist0">
  <entry producer="producer0" in="00:00:00.000" out="$out">
   <property name="kdenlive:id">2</property>
$filter
  </entry>
 </playlist>
 <tractor id="tractor0" in="00:00:00.000" out="$out">
  <property name="kdenlive:projectTractor">1</property>
  <track producer="playlist0"/>
 </tractor>
</mlt>
XML
}
