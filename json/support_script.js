// Added once to every document session, before the document itself exists.

// The number of keys a for-in loop over `value` yields, less the two functions that every object
// and array inherits from Object.prototype below: an array's items or an object's own members.
function get__count(value) {
  var count = -2;
  for (var key in value) {
    count++;
  }
  return count;
}

// Engines without a JSON object get an empty one, so that the checks below can run.
if (typeof JSON !== 'object') {
  JSON = {};
}

// A JSON implementation would fill in Date.prototype.toJSON, JSON.stringify and JSON.parse where
// they are missing. This engine has all three natively, so nothing is added here; the check keeps
// a missing one from passing unnoticed.
(function () {
  'use strict';
  if (typeof Date.prototype.toJSON !== 'function' || typeof JSON.stringify !== 'function' ||
      typeof JSON.parse !== 'function') {
    throw new Error('The engine lacks native JSON support');
  }
})();

// Plain assignment makes both functions enumerable: every for-in loop yields them after the value's
// own keys, which get__count and the key lists rely on.
if (Object.prototype.toJSONString === undefined) {
  Object.prototype.toJSONString = function (filter) {
    return JSON.stringify(this, filter);
  };
  Object.prototype.parseJSON = function (filter) {
    return JSON.parse(this, filter);
  };
}
