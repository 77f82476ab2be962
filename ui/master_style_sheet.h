#pragma once

// The page viewer's defaults for the elements it knows, loaded before any page: the engine
// brings no style sheet of its own, and without one there is no table layout at all.
namespace kavrel {

inline constexpr const char* kMasterStyleSheet = R"css(
html { display: block; }
head, script, style, title, meta, link, base { display: none; }
body { display: block; margin: 4px; }
div, p, center, blockquote, address, form, ul, ol, dl, dt, dd, pre, hr,
h1, h2, h3, h4, h5, h6 { display: block; }
p, blockquote, ul, ol, dl, pre { margin-top: 1em; margin-bottom: 1em; }
blockquote { margin-left: 40px; margin-right: 40px; }
dd { margin-left: 40px; }
h1 { font-size: 2em; margin: 0.67em 0; font-weight: bold; }
h2 { font-size: 1.5em; margin: 0.83em 0; font-weight: bold; }
h3 { font-size: 1.17em; margin: 1em 0; font-weight: bold; }
h4 { margin: 1.33em 0; font-weight: bold; }
h5 { font-size: 0.83em; margin: 1.67em 0; font-weight: bold; }
h6 { font-size: 0.67em; margin: 2.33em 0; font-weight: bold; }
ul, ol { padding-left: 40px; }
ul { list-style-type: disc; }
ol { list-style-type: decimal; }
li { display: list-item; }
center { text-align: center; }
hr { border: 1px inset #808080; margin: 0.5em 0; }
strong, b, th { font-weight: bold; }
em, i, cite, var, address { font-style: italic; }
small { font-size: smaller; }
big { font-size: larger; }
u, ins { text-decoration: underline; }
s, strike, del { text-decoration: line-through; }
sub { vertical-align: sub; font-size: smaller; }
sup { vertical-align: super; font-size: smaller; }
pre, code, tt, kbd, samp { font-family: "Courier New", monospace; }
pre { white-space: pre; }
table { display: table; border-collapse: separate; border-spacing: 2px; }
caption { display: table-caption; text-align: center; }
thead { display: table-header-group; vertical-align: middle; }
tbody { display: table-row-group; vertical-align: middle; }
tfoot { display: table-footer-group; vertical-align: middle; }
col { display: table-column; }
colgroup { display: table-column-group; }
tr { display: table-row; vertical-align: inherit; }
td, th { display: table-cell; vertical-align: inherit; padding: 1px; }
th { text-align: center; }
img { display: inline-block; }
br { display: block; }
a[href] { text-decoration: underline; cursor: pointer; }
)css";

}  // namespace kavrel
