// The picture of one frame, drawn from the flat shape buffer that the C++
// core records (drawing/shape_buffer.h), on an HTML canvas 2D context.
//
// A record is a header of 9 numbers (kind, r, g, b, a, line width [px of
// the 800-pixel window], lighting, n, role) and then n vertices x y in window
// units (kinds 0..3), or for a text (kind 4) font, x, y and the offset of
// its n bytes.  Window units [-1, 1] map onto the square canvas, y up.
(function (global) {
  'use strict';

  const headerSize = 9;
  const textKind = 4;
  const textFields = 4;
  const kinds = ['polygon', 'lineLoop', 'lineStrip', 'lines', 'text'];
  const fonts = ['Helvetica12', 'Helvetica18'];
  // From the core (hybridsim.js, useCore): the window's size in pixels, to
  // which widths and font sizes refer, and what a shape of the teaching
  // overlay stands for, by its role number (drawing/canvas.h, Role)
  let windowPixels = 0;
  let roles = [];
  // the bitmap fonts' sizes [px at 800 px]
  const fontPixels = [12, 18];
  const fontFamily = 'Helvetica, "Liberation Sans", Arial, sans-serif';
  // What the window shows for anything drawn while lighting is on: the
  // default material under the default ambient light, read back from the
  // OpenGL window as 10 of 255 in each channel.
  const litColor = 'rgb(10,10,10)';
  const background = 'rgb(255,255,255)';
  // the shortest edge of a filled polygon that is sent to the canvas [px]
  const minPixelStep = 1;

  // a palette colour as CSS, opaque whatever its alpha (the window never blends)
  function cssColor(data, i) {
    const c = (v) => Math.min(255, Math.max(0, Math.round(v * 255)));
    return 'rgb(' + c(data[i + 1]) + ',' + c(data[i + 2]) + ',' + c(data[i + 3]) + ')';
  }

  // the bytes of a text that the bitmap font draws: control characters
  // have no glyph; bytes above 127 are Latin-1
  function textOf(bytes, first, n) {
    let s = '';
    for (let k = first; k < first + n; ++k) {
      const b = bytes[k];
      if (b === 0) break;
      if (b < 32 || (b >= 127 && b < 160)) continue;
      s += String.fromCharCode(b);
    }
    return s;
  }

  // the canvas cleared to the background, its state as every picture starts
  function startPicture(ctx, size) {
    ctx.save();
    ctx.setTransform(1, 0, 0, 1, 0, 0);
    ctx.globalAlpha = 1;
    ctx.fillStyle = background;
    ctx.fillRect(0, 0, size, size);
    ctx.lineCap = 'butt';
    ctx.lineJoin = 'miter';
    ctx.textBaseline = 'alphabetic';
    ctx.textAlign = 'left';
  }

  // The path being gathered on ctx: start(mode, colour, width) begins one
  // ('fill' or 'stroke') unless it goes on the stroke gathered so far;
  // flush() fills or strokes it.  The context's styles are set only when
  // they change (each set parses a colour).
  function painter(ctx) {
    let mode = '';
    let paint = '';
    let width = 0;
    let fillStyle = '';
    let strokeStyle = '';
    let lineWidth = -1;
    const flush = () => {
      if (mode === 'fill') ctx.fill();
      else if (mode === 'stroke') ctx.stroke();
      mode = '';
    };
    const start = (m, colour, w) => {
      if (m === 'stroke' && m === mode && colour === paint && w === width) return;
      flush();
      mode = m;
      paint = colour;
      width = w;
      ctx.beginPath();
      if (m === 'fill') {
        if (colour !== fillStyle) ctx.fillStyle = fillStyle = colour;
        return;
      }
      if (colour !== strokeStyle) ctx.strokeStyle = strokeStyle = colour;
      if (w !== lineWidth) ctx.lineWidth = lineWidth = w;
    };
    // a text's colour, as the fills' (a text is drawn at once)
    const fillColour = (colour) => {
      if (colour !== fillStyle) ctx.fillStyle = fillStyle = colour;
    };
    return { start, flush, fillColour };
  }

  // A filled polygon: OpenGL draws nothing of fewer than 3 vertices.  A
  // vertex less than a pixel from the last one kept changes the outline by
  // a few hundredths of a pixel at most: a trail point is a 120-gon about
  // 3 pixels wide, and filling it with every vertex takes twice as long.
  function fillPolygon(ctx, n, x, y) {
    let px = x(0);
    let py = y(0);
    ctx.moveTo(px, py);
    for (let j = 1; j < n; ++j) {
      const qx = x(j);
      const qy = y(j);
      if (j < n - 1 && Math.abs(qx - px) + Math.abs(qy - py) < minPixelStep) continue;
      ctx.lineTo(qx, qy);
      px = qx;
      py = qy;
    }
    ctx.closePath();
  }

  // Separate segments; an odd last vertex is dropped.  A segment that
  // starts where the one before it ended (a dash across a sample of a
  // pinned run's curve, an arrow's head) goes on the same subpath: the
  // canvas strokes a few long subpaths much faster than many short ones,
  // and the corner is joined instead of notched.
  function strokeSegments(ctx, n, x, y) {
    let endX = NaN;
    let endY = NaN;
    for (let j = 0; j + 1 < n; j += 2) {
      const ax = x(j);
      const ay = y(j);
      if (ax !== endX || ay !== endY) ctx.moveTo(ax, ay);
      endX = x(j + 1);
      endY = y(j + 1);
      ctx.lineTo(endX, endY);
    }
  }

  // Draws the records data[0..count) on ctx, a square of `size` pixels, in
  // their order.  Consecutive lines of the same colour and width go into one
  // path and one stroke; every filled polygon is a fill of its own (one path
  // of many overlapping discs rasterises several times slower).
  function draw(ctx, size, data, count, bytes) {
    const k = size / 2;  // pixels per window unit
    const widthScale = size / windowPixels;
    startPicture(ctx, size);
    const path = painter(ctx);
    let i = 0;
    while (i + headerSize <= count) {
      const kind = data[i];
      const n = data[i + 7];
      const colour = data[i + 6] ? litColor : cssColor(data, i);
      const v = i + headerSize;
      if (kind === textKind) {
        path.flush();
        const font = data[v];
        ctx.font = fontPixels[font] * widthScale + 'px ' + fontFamily;
        path.fillColour(colour);
        ctx.fillText(textOf(bytes, data[v + 3], n), (data[v + 1] + 1) * k, (1 - data[v + 2]) * k);
        i = v + textFields;
        continue;
      }
      const x = (j) => (data[v + 2 * j] + 1) * k;
      const y = (j) => (1 - data[v + 2 * j + 1]) * k;
      if (kind === 0) {
        if (n >= 3) {
          path.start('fill', colour, 0);
          fillPolygon(ctx, n, x, y);
        }
      } else if (kind === 3) {
        if (n >= 2) path.start('stroke', colour, data[i + 5] * widthScale);
        strokeSegments(ctx, n, x, y);
      } else if (n >= 2) {
        // a line strip, or a loop closed back to its first vertex
        path.start('stroke', colour, data[i + 5] * widthScale);
        ctx.moveTo(x(0), y(0));
        for (let j = 1; j < n; ++j) ctx.lineTo(x(j), y(j));
        if (kind === 1) ctx.closePath();
      }
      i = v + 2 * n;
    }
    path.flush();
    ctx.restore();
  }

  // The records as a list of plain objects, in painter's order.
  function decode(data, count, bytes) {
    const out = [];
    let i = 0;
    while (i + headerSize <= count) {
      const kind = data[i];
      const n = data[i + 7];
      const item = {
        kind: kinds[kind],
        color: [data[i + 1], data[i + 2], data[i + 3], data[i + 4]],
        lineWidth: data[i + 5],
        lighting: data[i + 6] !== 0,
      };
      if (data[i + 8] !== 0) item.role = roles[data[i + 8]];
      const v = i + headerSize;
      if (kind === textKind) {
        item.font = fonts[data[v]];
        item.x = data[v + 1];
        item.y = data[v + 2];
        item.text = textOf(bytes, data[v + 3], n);
        item.bytes = Array.from(bytes.subarray(data[v + 3], data[v + 3] + n));
        i = v + textFields;
      } else {
        item.vertices = [];
        for (let j = 0; j < n; ++j) item.vertices.push([data[v + 2 * j], data[v + 2 * j + 1]]);
        i = v + 2 * n;
      }
      out.push(item);
    }
    return out;
  }

  // Takes the core's drawing figures (the JSON of hs_drawing).
  function useCore(drawing) {
    windowPixels = drawing.windowPixels;
    roles = drawing.roles;
  }

  global.HybridsimShapeView = {
    draw,
    decode,
    useCore,
    get windowPixels() {
      return windowPixels;
    },
  };
})(window);
