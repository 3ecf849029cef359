// Floating-point arithmetic: escape times of the Mandelbrot set on a square grid. Every engine
// does the same IEEE double operations in the same order, so the counts agree exactly.
if (typeof print === 'undefined') print = console.log;

function main() {
    var size = 800, maxIter = 50, inside = 0, total = 0;
    var x, y, i, cr, ci, zr, zi, tr, ti;
    for (y = 0; y < size; y++) {
        ci = 2.0 * y / size - 1.0;
        for (x = 0; x < size; x++) {
            cr = 2.0 * x / size - 1.5;
            zr = 0.0;
            zi = 0.0;
            tr = 0.0;
            ti = 0.0;
            i = 0;
            while (i < maxIter && tr + ti <= 4.0) {
                zi = 2.0 * zr * zi + ci;
                zr = tr - ti + cr;
                tr = zr * zr;
                ti = zi * zi;
                i++;
            }
            total = total + i;
            if (tr + ti <= 4.0) inside++;
        }
    }
    print("mandelbrot " + inside + " " + total);
}

main();
