#pragma once
// Sample documents shared by the XML tests.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "xmlpp/Exception.h"
#include "xmlpp/domparser.h"

namespace xmltest {

// A camera's non-real-time metadata, as found in the header of an MXF clip.
inline const char* const kNrtMeta = R"(<?xml version="1.0" encoding="UTF-8"?>
<NonRealTimeMeta xmlns="urn:schemas-professionalDisc:nonRealTimeMeta:ver.2.00" xmlns:lib="urn:schemas-professionalDisc:lib:ver.2.00" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" xsi:schemaLocation="urn:schemas-professionalDisc:nonRealTimeMeta:ver.2.00" lastUpdate="2015-06-12T10:21:33+09:00">
	<Duration value="1201"/>
	<LtcChangeTable tcFps="30" halfStep="false">
		<LtcChange frameCount="0" value="55252101" status="increment"/>
		<LtcChange frameCount="300" value="55252111" status="increment"/>
		<LtcChange frameCount="900" value="10243101" status="increment"/>
		<LtcChange frameCount="1200" value="24433101" status="end"/>
	</LtcChangeTable>
	<CreationDate value="2015-06-12T10:21:33+09:00"/>
	<VideoFormat>
		<VideoRecPort port="DIRECT"/>
		<VideoFrame videoCodec="AVC_1920_1080_H422IP@L41" captureFps="29.97p" formatFps="29.97p"/>
		<VideoLayout pixel="1920" numOfVerticalLine="1080" aspectRatio="16:9"/>
	</VideoFormat>
	<Device manufacturer="Sony" modelName="PXW-Z100" serialNo="10033"/>
	<lib:Lens modelName="G Lens"/>
</NonRealTimeMeta>
)";

inline const char* const kXhtml = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE html PUBLIC "-//W3C//DTD XHTML 1.0 Strict//EN" "http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd">
<html xmlns="http://www.w3.org/1999/xhtml" xml:lang="en">
  <head><title>Clip report</title></head>
  <body>
    <h1>Clip <em>C0001</em> report</h1>
    <p class="intro">Recorded on <b>2015-06-12</b> &amp; checked &#169; 2015.</p>
    <ul><li class="clip">C0001</li><li class="clip selected">C0002</li><li class="clip">C0003</li></ul>
    <table><tr><th>Track</th><th>Codec</th></tr><tr><td>V1</td><td>AVC</td></tr><tr><td>A1</td><td>LPCM</td></tr></table>
    <p><a href="index.html?a=1&amp;b=2">Back</a></p>
  </body>
</html>
)";

// Every kind of markup: processing instructions, comments, CDATA, entities.
inline const char* const kMarkup = R"(<?xml version="1.0" encoding="UTF-8"?>
<?xml-stylesheet type="text/xsl" href="clip.xsl"?>
<!-- exported by the archive -->
<archive version="2">
  <!-- first item -->
  <item id="a1">
    <title>Tom &amp; Jerry &lt;remastered&gt;</title>
    <script><![CDATA[if (a < b && c > d) { run(); }]]></script>
    <?render mode="fast"?>
    <quote>&quot;It&apos;s&quot; &#x263A; &#169;</quote>
    <mixed>x<![CDATA[y]]>z</mixed>
  </item>
</archive>
<!-- end -->
)";

// The message of the xmlpp::Exception that `action` throws.
inline std::string thrownBy(const std::function<void()>& action) {
  try {
    action();
  } catch (const xmlpp::Exception& e) {
    return e.what();
  }
  return "nothing thrown";
}

// Parses `text`, failing the test when it does not parse.
inline xmlpp::Document* parsed(xmlpp::DomParser& parser, const std::string& text) {
  EXPECT_TRUE(parser.parse_memory(text)) << parser.get_last_error();
  return parser.get_document();
}

// "<a i="0"><a i="1">...leaf...</a></a>", `depth` elements deep.
inline std::string nested(int depth) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += "<a i=\"" + std::to_string(i) + "\">";
  text += "leaf";
  for (int i = 0; i < depth; ++i) text += "</a>";
  return text;
}

}  // namespace xmltest
