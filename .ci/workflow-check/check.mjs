// What can be known of a CI workflow without a hosted runner: that GitHub's own parser, with
// GitHub's workflow schema, finds no error in it; that every action is pinned to a commit, not to a
// tag that can be moved; and that every project script it runs is run as the README shows it, not
// in a way of CI's own that no command here proves. node check.mjs README WORKFLOW...
import { readFileSync } from 'node:fs';
import { register } from 'node:module';

register('./json-module.mjs', import.meta.url);
const { parseWorkflow, convertWorkflowTemplate, NoOperationTraceWriter } =
  await import('@actions/workflow-parser');
const [readme, ...workflows] = process.argv.slice(2);
// The lines of the README's code blocks, without their comments.
const shown = readFileSync(readme, 'utf8').split(/^```.*$/m).filter((_, i) => i % 2)
  .flatMap((block) => block.split('\n').map((line) => line.replace(/\s+#.*/, '').trim()));
let failed = 0;
const fail = (message) => { console.log(`FAIL ${message}`); failed++; };
for (const file of workflows) {
  const parsed = parseWorkflow({ name: file, content: readFileSync(file, 'utf8') },
                               new NoOperationTraceWriter());
  const workflow = await convertWorkflowTemplate(parsed.context, parsed.value);
  for (const { Message } of workflow.errors ?? []) fail(Message);
  for (const step of (workflow.jobs ?? []).flatMap((job) => job.steps ?? [])) {
    const uses = step.uses?.value;
    if (uses && !/@[0-9a-f]{40}$/.test(uses)) fail(`${file}: ${uses} is not pinned to a commit`);
    for (const line of (step.run?.value ?? '').split('\n')) {
      if (/[\w-][\\/][\w-]+\.(sh|cmd|py|mjs)\b/.test(line) && !shown.includes(line.trim()))
        fail(`${file}: '${line.trim()}' runs a project script as ${readme} does not`);
    }
  }
}
if (!failed) console.log(`${workflows.join(', ')}: valid, actions pinned, commands as in ${readme}`);
process.exit(failed ? 1 : 0);
