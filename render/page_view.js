/* The viewer's picture in a web page, drawn with WebGL 1 as the viewer
 * draws it with OpenGL: the same 40-degree perspective camera (near 1, far
 * 200), the faces turned about y, then about x, then moved the distance
 * away; spheres of radius 0.03 built as GLU builds them (16 slices, 16
 * stacks); segments 2 pixels wide; flat colours with a depth test. Its
 * keys are the viewer's with files. view(root, data) builds the canvas, a
 * frame slider and a status line inside root.
 *
 * data: width, height: the canvas in pixels; names: what the status line
 * calls the faces; seconds: how long 180 frames last, or null; first, last:
 * the frames written; faces: one or two of {scale, positions (base64 of
 * little-endian 16-bit whole numbers, x, y, z a marker, 24 markers a
 * frame, each coordinate times scale), lines: [[marker, marker], ...]};
 * caption: {x, y, width, height, bits (base64, rows from the bottom, a
 * bit a pixel, the first pixel the byte's highest bit)} or null, in
 * window pixels from the bottom left; start: {frame, turnX, turnY,
 * distance, faces}; fragment: whether the address's fragment sets and
 * keeps the view. */
function mienscopeView(root, data) {
    'use strict';
    const MARKERS = 24, FRAMES = 180, RADIUS = 0.03, SLICES = 16, STACKS = 16;
    const TURN_STEP = 2, ZOOM_FACTOR = 1.1, DRAG_PIXELS_PER_DEGREE = 4, UNKNOWN_SECONDS = 6;

    function decodePositions(face) {
        const bytes = Uint8Array.from(atob(face.positions), c => c.charCodeAt(0));
        const whole = new Int16Array(bytes.buffer);
        const xyz = new Float32Array(whole.length);
        for (let i = 0; i < whole.length; i++)
            xyz[i] = whole[i] / face.scale;
        return xyz;
    }

    /* The sphere as GLU's gluSphere makes it: rings of stacks from +z to
     * -z, a fan at each pole and quads between, as triangles. */
    function sphereTriangles() {
        const ring = [];
        for (let j = 0; j <= STACKS; j++) {
            const rho = Math.PI * j / STACKS;
            const s = j === 0 || j === STACKS ? 0 : RADIUS * Math.sin(rho), z = RADIUS * Math.cos(rho);
            const points = [];
            for (let i = 0; i <= SLICES; i++) {
                const theta = 2 * Math.PI * (i % SLICES) / SLICES;
                points.push([s * Math.sin(theta), s * Math.cos(theta), z]);
            }
            ring.push(points);
        }
        const out = [];
        const push = (...vertices) => vertices.forEach(v => out.push(v[0], v[1], v[2]));
        for (let i = 0; i < SLICES; i++) {
            push([0, 0, RADIUS], ring[1][i + 1], ring[1][i]);
            push([0, 0, -RADIUS], ring[STACKS - 1][i], ring[STACKS - 1][i + 1]);
            for (let j = 1; j < STACKS - 1; j++) {
                push(ring[j + 1][i], ring[j][i], ring[j + 1][i + 1]);
                push(ring[j + 1][i + 1], ring[j][i], ring[j][i + 1]);
            }
        }
        return new Float32Array(out);
    }

    function perspective(aspect) {
        const f = 1 / Math.tan(40 / 2 * Math.PI / 180), near = 1, far = 200;
        return new Float32Array([f / aspect, 0, 0, 0, 0, f, 0, 0, 0, 0, (far + near) / (near - far), -1, 0, 0,
                                 2 * far * near / (near - far), 0]);
    }

    /* Column-major products, as OpenGL's matrix stack multiplies on the right. */
    function multiply(a, b) {
        const out = new Float32Array(16);
        for (let c = 0; c < 4; c++)
            for (let r = 0; r < 4; r++) {
                let sum = 0;
                for (let k = 0; k < 4; k++)
                    sum += a[k * 4 + r] * b[c * 4 + k];
                out[c * 4 + r] = sum;
            }
        return out;
    }

    function rotation(degrees, axis) {
        const a = degrees * Math.PI / 180, c = Math.cos(a), s = Math.sin(a);
        return axis === 'x' ? new Float32Array([1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1])
                            : new Float32Array([c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1]);
    }

    function modelView(state) {
        const moved = new Float32Array([1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -state.distance, 1]);
        return multiply(multiply(moved, rotation(state.turnX, 'x')), rotation(state.turnY, 'y'));
    }

    function compile(gl, vertex, fragment) {
        const program = gl.createProgram();
        for (const [type, text] of [[gl.VERTEX_SHADER, vertex], [gl.FRAGMENT_SHADER, fragment]]) {
            const shader = gl.createShader(type);
            gl.shaderSource(shader, text);
            gl.compileShader(shader);
            gl.attachShader(program, shader);
        }
        gl.linkProgram(program);
        return program;
    }

    const flatColour = 'precision highp float; uniform vec3 colour; void main() { gl_FragColor = vec4(colour, 1.0); }';
    const sphereShader = 'attribute vec3 vertex; uniform vec3 centre; uniform mat4 projection, modelView;' +
        'void main() { gl_Position = projection * modelView * vec4(vertex + centre, 1.0); }';
    /* A segment as a quad: both ends to the window, then each corner moved
     * one pixel along the segment's minor window axis, as OpenGL draws a
     * line 2 pixels wide. */
    const lineShader = 'attribute vec3 here, there; attribute float side; uniform mat4 projection, modelView;' +
        'uniform vec2 viewport;' +
        'void main() {' +
        '  vec4 a = projection * modelView * vec4(here, 1.0), b = projection * modelView * vec4(there, 1.0);' +
        '  vec2 d = (b.xy / b.w - a.xy / a.w) * viewport;' +
        '  vec2 offset = abs(d.x) >= abs(d.y) ? vec2(0.0, side) : vec2(side, 0.0);' +
        '  gl_Position = vec4(a.xy + offset * 2.0 / viewport * a.w, a.z, a.w); }';
    const captionShader = 'attribute vec2 corner; uniform vec4 box; uniform vec2 viewport; varying vec2 at;' +
        'void main() { at = corner; vec2 p = box.xy + corner * box.zw;' +
        '  gl_Position = vec4(p / viewport * 2.0 - 1.0, 0.0, 1.0); }';
    const captionColour = 'precision highp float; uniform sampler2D bits; varying vec2 at;' +
        'void main() { if (texture2D(bits, at).r < 0.5) discard; gl_FragColor = vec4(1.0); }';

    const canvas = document.createElement('canvas');
    canvas.width = data.width;
    canvas.height = data.height;
    canvas.style.width = data.width + 'px';
    canvas.style.height = data.height + 'px';
    canvas.className = 'mienscope-canvas';
    const slider = document.createElement('input');
    slider.type = 'range';
    slider.min = data.first;
    slider.max = data.last;
    slider.className = 'mienscope-slider';
    slider.style.width = data.width + 'px';
    const status = document.createElement('div');
    status.className = 'mienscope-status';
    root.append(canvas, slider, status);

    const gl = canvas.getContext('webgl', {antialias: false, preserveDrawingBuffer: true});
    if (!gl) {
        status.textContent = 'This browser has no WebGL, so the movement can not be drawn.';
        return;
    }
    const faces = data.faces.map(face => ({xyz: decodePositions(face), lines: face.lines}));
    const spheres = compile(gl, sphereShader, flatColour), lines = compile(gl, lineShader, flatColour);
    const captions = compile(gl, captionShader, captionColour);
    const sphereBuffer = gl.createBuffer();
    gl.bindBuffer(gl.ARRAY_BUFFER, sphereBuffer);
    gl.bufferData(gl.ARRAY_BUFFER, sphereTriangles(), gl.STATIC_DRAW);
    const sphereCount = SLICES * (STACKS - 1) * 2 * 3;
    const lineBuffer = gl.createBuffer(), cornerBuffer = gl.createBuffer();
    gl.bindBuffer(gl.ARRAY_BUFFER, cornerBuffer);
    gl.bufferData(gl.ARRAY_BUFFER, new Float32Array([0, 0, 1, 0, 0, 1, 1, 1]), gl.STATIC_DRAW);
    const captionTexture = data.caption ? captionBits(data.caption) : null;
    gl.enable(gl.DEPTH_TEST);
    gl.depthFunc(gl.LEQUAL);
    gl.clearColor(0, 0, 0, 1);
    gl.clearDepth(1);
    gl.viewport(0, 0, data.width, data.height);
    const projection = perspective(data.width / data.height);

    function captionBits(caption) {
        const packed = Uint8Array.from(atob(caption.bits), c => c.charCodeAt(0));
        const rowBytes = Math.ceil(caption.width / 8), pixels = new Uint8Array(caption.width * caption.height);
        for (let y = 0; y < caption.height; y++)
            for (let x = 0; x < caption.width; x++)
                pixels[y * caption.width + x] = packed[y * rowBytes + (x >> 3)] & (0x80 >> (x & 7)) ? 255 : 0;
        const texture = gl.createTexture();
        gl.bindTexture(gl.TEXTURE_2D, texture);
        gl.pixelStorei(gl.UNPACK_ALIGNMENT, 1);
        gl.texImage2D(gl.TEXTURE_2D, 0, gl.LUMINANCE, caption.width, caption.height, 0, gl.LUMINANCE,
                      gl.UNSIGNED_BYTE, pixels);
        for (const p of [gl.TEXTURE_MIN_FILTER, gl.TEXTURE_MAG_FILTER])
            gl.texParameteri(gl.TEXTURE_2D, p, gl.NEAREST);
        for (const p of [gl.TEXTURE_WRAP_S, gl.TEXTURE_WRAP_T])
            gl.texParameteri(gl.TEXTURE_2D, p, gl.CLAMP_TO_EDGE);
        return texture;
    }

    function attribute(program, name, size, stride, offset) {
        const at = gl.getAttribLocation(program, name);
        gl.enableVertexAttribArray(at);
        gl.vertexAttribPointer(at, size, gl.FLOAT, false, stride * 4, offset * 4);
        return at;
    }

    function drawCaption() {
        if (!captionTexture)
            return;
        const c = data.caption;
        gl.disable(gl.DEPTH_TEST);
        gl.useProgram(captions);
        gl.bindBuffer(gl.ARRAY_BUFFER, cornerBuffer);
        const at = attribute(captions, 'corner', 2, 2, 0);
        gl.uniform4f(gl.getUniformLocation(captions, 'box'), c.x, c.y, c.width, c.height);
        gl.uniform2f(gl.getUniformLocation(captions, 'viewport'), data.width, data.height);
        gl.bindTexture(gl.TEXTURE_2D, captionTexture);
        gl.drawArrays(gl.TRIANGLE_STRIP, 0, 4);
        gl.disableVertexAttribArray(at);
        gl.enable(gl.DEPTH_TEST);
    }

    function marker(face, frame, m) {
        const i = ((frame - data.first) * MARKERS + m) * 3;
        return [face.xyz[i], face.xyz[i + 1], face.xyz[i + 2]];
    }

    function drawMarkers(face, frame, colour, view) {
        gl.useProgram(spheres);
        gl.bindBuffer(gl.ARRAY_BUFFER, sphereBuffer);
        const at = attribute(spheres, 'vertex', 3, 3, 0);
        gl.uniformMatrix4fv(gl.getUniformLocation(spheres, 'projection'), false, projection);
        gl.uniformMatrix4fv(gl.getUniformLocation(spheres, 'modelView'), false, view);
        gl.uniform3fv(gl.getUniformLocation(spheres, 'colour'), colour);
        const centre = gl.getUniformLocation(spheres, 'centre');
        for (let m = 0; m < MARKERS; m++) {
            gl.uniform3fv(centre, marker(face, frame, m));
            gl.drawArrays(gl.TRIANGLES, 0, sphereCount);
        }
        gl.disableVertexAttribArray(at);
    }

    function drawLines(face, frame, view) {
        if (face.lines.length === 0)
            return;
        const corners = [];
        for (const [a, b] of face.lines) {
            const p = marker(face, frame, a), q = marker(face, frame, b);
            for (const [here, there, side] of [[p, q, -1], [p, q, 1], [q, p, -1], [q, p, -1], [p, q, 1], [q, p, 1]])
                corners.push(...here, ...there, side);
        }
        gl.useProgram(lines);
        gl.bindBuffer(gl.ARRAY_BUFFER, lineBuffer);
        gl.bufferData(gl.ARRAY_BUFFER, new Float32Array(corners), gl.STREAM_DRAW);
        const here = attribute(lines, 'here', 3, 7, 0), there = attribute(lines, 'there', 3, 7, 3);
        const side = attribute(lines, 'side', 1, 7, 6);
        gl.uniformMatrix4fv(gl.getUniformLocation(lines, 'projection'), false, projection);
        gl.uniformMatrix4fv(gl.getUniformLocation(lines, 'modelView'), false, view);
        gl.uniform2f(gl.getUniformLocation(lines, 'viewport'), data.width, data.height);
        gl.uniform3f(gl.getUniformLocation(lines, 'colour'), 0, 0, 1);
        gl.drawArrays(gl.TRIANGLES, 0, corners.length / 7);
        for (const at of [here, there, side])
            gl.disableVertexAttribArray(at);
    }

    /* The view, as the viewer's state holds it. */
    const state = {frame: data.start.frame, turnX: data.start.turnX, turnY: data.start.turnY,
                   distance: Math.fround(data.start.distance), faces: data.start.faces, playing: false,
                   paused: false, origin: 0};
    const frameSeconds = (data.seconds === null ? UNKNOWN_SECONDS : data.seconds) / (FRAMES - 1);

    function draw() {
        gl.clear(gl.COLOR_BUFFER_BIT | gl.DEPTH_BUFFER_BIT);
        drawCaption();
        const view = modelView(state);
        const showFirst = state.faces !== 'second', showSecond = state.faces !== 'first' && faces.length > 1;
        if (showFirst) {
            drawMarkers(faces[0], state.frame, [0, 1, 0], view);
            drawLines(faces[0], state.frame, view);
        }
        if (showSecond) {
            drawMarkers(faces[1], state.frame, [1, 0, 0], view);
            if (!showFirst)
                drawLines(faces[1], state.frame, view);
        }
    }

    function clampFrame(frame) {
        return Math.min(data.last, Math.max(data.first, Math.round(frame)));
    }

    function fragmentText() {
        return 'frame=' + state.frame + '&turn-x=' + state.turnX + '&turn-y=' + state.turnY + '&distance=' +
               state.distance + '&faces=' + state.faces;
    }

    let fragmentWritten = 0;
    function keepFragment(force) {
        const now = performance.now();
        if (!data.fragment || (!force && now - fragmentWritten < 500))
            return;
        fragmentWritten = now;
        history.replaceState(null, '', '#' + fragmentText());
    }

    function show() {
        draw();
        slider.value = state.frame;
        const time = data.seconds === null ? '' : ', ' + (state.frame * frameSeconds).toFixed(2) + ' s';
        status.textContent = data.names + ' - frame ' + state.frame + time;
        const d = document.body.dataset;
        d.frame = state.frame;
        d.turnX = state.turnX;
        d.turnY = state.turnY;
        d.distance = state.distance;
        d.faces = state.faces;
        d.playing = state.playing && !state.paused ? 'true' : 'false';
        keepFragment(!(state.playing && !state.paused));
    }

    function tick() {
        if (!state.playing || state.paused)
            return;
        const due = data.first + Math.floor((performance.now() - state.origin) / 1000 / frameSeconds);
        state.frame = Math.min(due, data.last);
        state.playing = due < data.last;
        show();
        if (state.playing)
            requestAnimationFrame(tick);
    }

    function playOn() {
        state.playing = true;
        state.paused = false;
        state.origin = performance.now() - (state.frame - data.first) * frameSeconds * 1000;
        show();
        requestAnimationFrame(tick);
    }

    /* a, b and c: the faces shown, then play from the first frame; one face: b and c play it as a does. */
    function play(which) {
        state.faces = faces.length > 1 ? which : 'first';
        state.frame = data.first;
        playOn();
    }

    function pauseOrResume() {
        if (state.playing && !state.paused) {
            state.paused = true;
            show();
            return;
        }
        if (!state.playing && state.frame === data.last)
            state.frame = data.first;
        playOn();
    }

    function showFrame(frame) {
        state.paused = state.playing;
        state.frame = clampFrame(frame);
        show();
    }

    function turn(aboutX, aboutY) {
        state.turnX += aboutX;
        state.turnY += aboutY;
        show();
    }

    /* The distance is a float, as the viewer keeps it, rounded after each step. */
    function zoom(away) {
        state.distance = Math.fround(away ? state.distance * ZOOM_FACTOR : state.distance / ZOOM_FACTOR);
        show();
    }

    const keys = {
        'ArrowUp': () => turn(-TURN_STEP, 0), 'ArrowDown': () => turn(TURN_STEP, 0),
        'ArrowLeft': () => turn(0, -TURN_STEP), 'ArrowRight': () => turn(0, TURN_STEP),
        '<': () => zoom(true), '>': () => zoom(false),
        'a': () => play('first'), 'b': () => play('second'), 'c': () => play('both'),
        ' ': pauseOrResume, ',': () => showFrame(state.frame - 1), '.': () => showFrame(state.frame + 1),
        'Home': () => showFrame(data.first), 'End': () => showFrame(data.last),
    };
    window.addEventListener('keydown', event => {
        const action = keys[event.key];
        if (!action || event.ctrlKey || event.metaKey || event.altKey)
            return;
        event.preventDefault();
        event.stopPropagation();
        action();
    }, true);

    let dragging = null;
    canvas.addEventListener('pointerdown', event => {
        dragging = {x: event.clientX, y: event.clientY};
        canvas.setPointerCapture(event.pointerId);
    });
    canvas.addEventListener('pointermove', event => {
        if (!dragging)
            return;
        const dx = event.clientX - dragging.x, dy = event.clientY - dragging.y;
        dragging = {x: event.clientX, y: event.clientY};
        turn(dy / DRAG_PIXELS_PER_DEGREE, dx / DRAG_PIXELS_PER_DEGREE);
    });
    canvas.addEventListener('pointerup', () => { dragging = null; });
    slider.addEventListener('input', () => showFrame(Number(slider.value)));

    /* A link to one view: the fragment's keys override the start. */
    function readFragment() {
        const fragment = new URLSearchParams(location.hash.slice(1));
        const number = name => fragment.has(name) && isFinite(Number(fragment.get(name))) ? Number(fragment.get(name)) : null;
        if (number('frame') !== null)
            state.frame = clampFrame(number('frame'));
        if (number('turn-x') !== null)
            state.turnX = number('turn-x');
        if (number('turn-y') !== null)
            state.turnY = number('turn-y');
        if (number('distance') !== null && number('distance') > 0)
            state.distance = Math.fround(number('distance'));
        if (['first', 'second', 'both'].includes(fragment.get('faces')))
            state.faces = faces.length > 1 ? fragment.get('faces') : 'first';
    }
    if (data.fragment)
        readFragment();
    state.frame = clampFrame(state.frame);
    show();
}
