import java.util.LinkedHashMap;
import java.util.Map;

/**
 * Splits a child's standard output into named sections. In the child, {@link #begin} flushes
 * the library's buffered output (through the banner of test) before printing the marker, so
 * every line lands in the section of the call that printed it.
 */
public final class Sections {
    private static final String MARK = "@@section ";
    private static final String BANNER_START = "\n\rI2C_DLN native library";
    private static final String BANNER_END = "MIT\n\r";

    private Sections() {}

    /** In the child: ends the previous section and starts the named one. */
    public static void begin(String name) {
        I2C_DLN.test();
        System.out.println(MARK + name);
        System.out.flush();
    }

    /** The text of each section, without the banners that flushed it. */
    public static Map<String, String> of(String stdout) {
        Map<String, String> sections = new LinkedHashMap<>();
        String[] parts = stdout.split(MARK, -1);
        for (int i = 1; i < parts.length; i++) {
            int newline = parts[i].indexOf('\n');
            String text = parts[i].substring(newline + 1);
            int banner = text.lastIndexOf(BANNER_START);
            if (banner >= 0 && text.endsWith(BANNER_END)) {
                text = text.substring(0, banner);
            }
            sections.put(parts[i].substring(0, newline), text);
        }
        return sections;
    }
}
