// SPDX-License-Identifier: GPL-3.0-or-later
#include "http/HttpPage.h"

#include "http/HttpMinutes.h"

#include <array>
#include <utility>

namespace ostrel {

namespace {

struct TPageTexts {
    const char* Lang;
    const char* Newest;
    const char* Time;
    const char* Alarm;
    const char* AlarmOn;
    const char* AlarmOff;
    const char* AlarmUnused;
    const char* Counter;
    const char* Connected;
    const char* Disconnected;
    const char* Span;
    std::array<const char*, 4> Spans;
    const char* NoMinute;
    const char* Live;
    const char* Reconnecting;
};

constexpr TPageTexts Japanese{"ja",
                              "最新の1分",
                              "時刻",
                              "警報",
                              "発報中",
                              "なし",
                              "未設定",
                              "計数器",
                              "接続中",
                              "未接続",
                              "表示範囲",
                              {"1時間", "6時間", "24時間", "7日"},
                              "まだ記録がありません",
                              "ライブ",
                              "再接続中…"};
constexpr TPageTexts English{"en",
                             "Newest minute",
                             "Time",
                             "Alarm",
                             "On",
                             "Off",
                             "Not set",
                             "Counter",
                             "Connected",
                             "Not connected",
                             "Span",
                             {"1 h", "6 h", "24 h", "7 days"},
                             "No minute logged yet",
                             "Live",
                             "Reconnecting…"};

// The document; each @NAME@ is replaced.
constexpr const char* PageTemplate = R"PAGE(<!DOCTYPE html>
<html lang="@LANG@"><head><meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>@TITLE@</title>
<style>
body{font-family:sans-serif;margin:0;padding:0.6em;color:#222;background:#fff}
h1{font-size:1.3em;margin:0 0 0.4em}
#now{display:flex;flex-wrap:wrap;gap:0.4em 1.4em;margin-bottom:0.5em}
#now div{min-width:6em}#now b{display:block;font-size:1.4em}
small{color:#666}
#spans button{font-size:1em;padding:0.3em 0.7em;margin:0 0.2em 0.4em 0;border:1px solid #888;background:#f4f4f4;border-radius:4px}
#spans button.on{background:#FF8000;color:#fff;border-color:#FF8000}
svg{width:100%;height:auto;max-height:60vh;border:1px solid #808080;display:block}
.cpm{color:#FF8000}.usvh{color:#0000FF}.alarm{color:#c00}
</style></head><body>
<h1>@STATION@</h1>
<div id="now">
<div><small>@NEWEST@ · @TIME@</small><b id="label">—</b></div>
<div><small class="cpm">CPM</small><b id="count" class="cpm">—</b></div>
<div><small class="usvh">µSv/h</small><b id="usvh" class="usvh">—</b></div>
<div><small>@ALARM@</small><b id="alarm">—</b></div>
<div><small>@COUNTER@</small><b id="counter">—</b></div>
<div><small id="link">—</small></div>
</div>
<div id="spans"><small>@SPAN@</small><br>
<button data-span="3600">@SPAN1@</button><button data-span="21600">@SPAN2@</button><button data-span="86400">@SPAN3@</button><button data-span="604800">@SPAN4@</button>
</div>
<svg id="chart" viewBox="0 0 1000 400" preserveAspectRatio="none" role="img">
<g id="grid" stroke="#C0C0C0" stroke-width="1"></g>
<path id="cpm" fill="#FF8000" fill-opacity="0.5" stroke="#FF8000" stroke-width="1" vector-effect="non-scaling-stroke" d=""></path>
<path id="dose" fill="none" stroke="#0000FF" stroke-width="2" vector-effect="non-scaling-stroke" d=""></path>
<text id="empty" x="500" y="200" text-anchor="middle" font-size="24" fill="#666"></text>
</svg>
<div id="axis" style="display:flex;justify-content:space-between"><small id="first"></small><small id="scale"></small><small id="last"></small></div>
<script>
"use strict";
const T=@TEXTS@;
const W=1000,H=400;
let span=3600,minutes=[],newest=null;
const $=id=>document.getElementById(id);
const at=m=>({t:m.utc===null?null:Date.parse(m.utc)/1000,label:m.label,count:m.count,usvh:m.usvh});
function fmt(v){return v===null||v===undefined?"—":String(v);}
function show(s){
  $("counter").textContent=s.connected?T.connected:T.disconnected;
  $("alarm").textContent=s.alarm===null?T.alarmUnused:(s.alarm?T.alarmOn:T.alarmOff);
  $("alarm").className=s.alarm?"alarm":"";
  if(s.minute){newest=at(s.minute);$("label").textContent=newest.label;$("count").textContent=fmt(newest.count);$("usvh").textContent=fmt(newest.usvh);}
}
function shown(){
  if(!newest||newest.t===null)return[];
  const from=newest.t-span+60;
  return minutes.filter(m=>m.t!==null&&m.t>=from&&m.t<=newest.t);
}
function roundUp(v){if(!(v>0))return 1;const p=Math.pow(10,Math.floor(Math.log10(v)));for(const k of[1,2,5,10])if(k*p>=v)return k*p;return 10*p;}
function draw(){
  const list=shown();
  $("empty").textContent=list.length?"":T.noMinute;
  const x0=newest&&newest.t!==null?newest.t-span+60:0;
  const x=t=>((t-x0)/Math.max(span-60,60)*W).toFixed(1);
  const cpmTop=roundUp(Math.max(0,...list.map(m=>m.count)));
  const doses=list.filter(m=>m.usvh!==null);
  const doseTop=roundUp(Math.max(0,...doses.map(m=>m.usvh)));
  const y=(v,topv)=>(H-v/topv*H).toFixed(1);
  let d="";
  if(list.length){d="M"+x(list[0].t)+","+H;for(const m of list)d+="L"+x(m.t)+","+y(m.count,cpmTop);d+="L"+x(list[list.length-1].t)+","+H+"Z";}
  $("cpm").setAttribute("d",d);$("cpm").dataset.points=list.length;
  let e="",prev=null;
  for(const m of list){if(m.usvh===null){prev=null;continue;}e+=(prev===null?"M":"L")+x(m.t)+","+y(m.usvh,doseTop);prev=m;}
  $("dose").setAttribute("d",e);$("dose").dataset.points=doses.length;
  let g="";for(let k=1;k<4;k++)g+='<line x1="0" x2="'+W+'" y1="'+(H*k/4)+'" y2="'+(H*k/4)+'" vector-effect="non-scaling-stroke"/>';
  $("grid").innerHTML=g;
  $("first").textContent=list.length?list[0].label:"";
  $("last").textContent=list.length?list[list.length-1].label:"";
  $("scale").innerHTML='<span class="cpm">CPM '+cpmTop+'</span> · <span class="usvh">µSv/h '+doseTop+'</span>';
}
async function load(){
  const s=await (await fetch("/api/state")).json();
  show(s);
  if(!newest||newest.t===null){minutes=[];draw();return;}
  const got=[],upTo=newest.t;
  let url="/api/minutes?from="+(upTo-span+60)+"&to="+(upTo+60)+"&limit=10080";
  while(url){const r=await fetch(url);if(!r.ok)break;const j=await r.json();for(const m of j.minutes)got.push(at(m));url=j.next;}
  // Minutes the stream brought while these came.
  minutes=got.concat(minutes.filter(m=>m.t>upTo));draw();
}
function add(m){
  if(m.t===null)return;
  const last=minutes[minutes.length-1];
  if(last&&last.t===m.t)minutes[minutes.length-1]=m;else minutes.push(m);
  const keep=newest.t-604800;while(minutes.length&&minutes[0].t<keep)minutes.shift();
  draw();
}
function choose(b){span=+b.dataset.span;for(const o of document.querySelectorAll("#spans button"))o.className=o===b?"on":"";load();}
for(const b of document.querySelectorAll("#spans button"))b.onclick=()=>choose(b);
document.querySelector("#spans button").className="on";
const events=new EventSource("/events");
let broken=false;
events.onopen=()=>{$("link").textContent=T.live;if(broken){broken=false;load();}};
events.onerror=()=>{$("link").textContent=T.reconnecting;broken=true;};
events.addEventListener("state",e=>show(JSON.parse(e.data)));
events.addEventListener("minute",e=>{const s=JSON.parse(e.data);show(s);if(s.minute)add(at(s.minute));});
load();
</script></body></html>
)PAGE";

std::string TextsJson(const TPageTexts& t) {
    std::string json = "{";
    const std::pair<const char*, const char*> items[] = {{"alarmOn", t.AlarmOn},
                                                         {"alarmOff", t.AlarmOff},
                                                         {"alarmUnused", t.AlarmUnused},
                                                         {"connected", t.Connected},
                                                         {"disconnected", t.Disconnected},
                                                         {"noMinute", t.NoMinute},
                                                         {"live", t.Live},
                                                         {"reconnecting", t.Reconnecting}};
    for (const auto& [key, text] : items) {
        json += (json.size() > 1 ? "," : "") + JsonText(key) + ":" + JsonText(text);
    }
    return json + "}";
}

void Replace(std::string& page, std::string_view name, const std::string& text) {
    const std::string mark = "@" + std::string(name) + "@";
    for (auto at = page.find(mark); at != std::string::npos;
         at = page.find(mark, at + text.size())) {
        page.replace(at, mark.size(), text);
    }
}

} // namespace

std::string HtmlText(std::string_view text) {
    std::string html;
    for (const char c : text) {
        switch (c) {
        case '&':
            html += "&amp;";
            break;
        case '<':
            html += "&lt;";
            break;
        case '>':
            html += "&gt;";
            break;
        case '"':
            html += "&quot;";
            break;
        case '\'':
            html += "&#39;";
            break;
        default:
            html += c;
        }
    }
    return html;
}

std::string PageHtml(THttpLanguage language, std::string_view station) {
    const TPageTexts& t = language == THttpLanguage::English ? English : Japanese;
    std::string page = PageTemplate;
    // The texts go in first: a station's name may hold an "@".
    Replace(page, "TEXTS", TextsJson(t));
    Replace(page, "LANG", t.Lang);
    Replace(page, "NEWEST", t.Newest);
    Replace(page, "TIME", t.Time);
    Replace(page, "ALARM", t.Alarm);
    Replace(page, "COUNTER", t.Counter);
    Replace(page, "SPAN", t.Span);
    for (std::size_t k = 0; k < t.Spans.size(); ++k) {
        Replace(page, "SPAN" + std::to_string(k + 1), t.Spans[k]);
    }
    Replace(page, "TITLE", HtmlText(std::string(station) + " — Ostrel"));
    Replace(page, "STATION", HtmlText(station));
    return page;
}

} // namespace ostrel
