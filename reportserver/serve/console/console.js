// The Korva report server's console: the folder tree's "Open all" and
// "Close all", and the folders the user closed kept closed while the tab
// lives. The console works without it.
"use strict";
(function () {
  var tree = document.getElementById("tree");
  if (!tree) return;
  var key = "korva.closedFolders";
  var closed = {};
  try { closed = JSON.parse(sessionStorage.getItem(key) || "{}"); } catch (e) { closed = {}; }
  var folders = tree.querySelectorAll("details[data-id]");
  function save() {
    try { sessionStorage.setItem(key, JSON.stringify(closed)); } catch (e) { /* not kept */ }
  }
  folders.forEach(function (d) {
    if (closed[d.dataset.id]) d.open = false;
    d.addEventListener("toggle", function () {
      if (d.open) { delete closed[d.dataset.id]; } else { closed[d.dataset.id] = true; }
      save();
    });
  });
  function setAll(open) {
    folders.forEach(function (d) { d.open = open; });
  }
  document.getElementById("open-all").addEventListener("click", function () { setAll(true); });
  document.getElementById("close-all").addEventListener("click", function () { setAll(false); });
})();
